#include "ui/ScreenSaver.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFileInfo>

#include "messages/Strings.h"

namespace pm {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
constexpr int kTimeoutMs = 2000;

// Only a bus the session already has: asking for one otherwise may make the
// D-Bus library start a bus daemon of its own.
bool SessionBusKnown() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(QDir(runtime).filePath(QStringLiteral("bus")));
}

bool ServiceAvailable(QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    QDBusConnectionInterface* names = bus.interface();
    return names && names->isServiceRegistered(kService).value();
}

}  // namespace

uint32_t InhibitScreenSaver() {
    if (!SessionBusKnown()) return 0;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!ServiceAvailable(bus)) return 0;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Inhibit"));
    call << QStringLiteral("parumero") << QString::fromStdString(LoadString(kTextSaverReason));
    QDBusMessage reply = bus.call(call, QDBus::Block, kTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return 0;
    return reply.arguments().first().toUInt();
}

void UnInhibitScreenSaver(uint32_t cookie) {
    if (cookie == 0 || !SessionBusKnown()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("UnInhibit"));
    call << cookie;
    bus.call(call, QDBus::Block, kTimeoutMs);
}

}  // namespace pm
