// The screen saver switch against a private session bus with a stand-in for
// the desktop's service: a build holds the saver off and lets it go again,
// and without a bus or a service nothing happens.
#include "ui/ScreenSaver.h"

#include <QDBusConnection>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <atomic>
#include <thread>

#include "platform/Platform.h"
#include "ui/MainDialog.h"

using namespace pm;

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    QStringList inhibitedBy;
    QList<uint> released;
public slots:
    uint Inhibit(const QString& application, const QString&) {
        inhibitedBy << application;
        return 7;
    }
    void UnInhibit(uint cookie) { released << cookie; }
};

namespace {

struct NoBoxes : MessageBoxes {
    void Show(const std::string&, MessageIcon) override {}
};

// Runs fn on another thread, as the build's worker does, while this thread
// keeps serving the bus.
uint32_t OnWorker(const std::function<uint32_t()>& fn) {
    std::atomic<bool> done{false};
    uint32_t result = 0;
    std::thread worker([&] {
        result = fn();
        done = true;
    });
    QDeadlineTimer deadline(10000);
    while (!done && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();  // the calls themselves give up after two seconds
    return result;
}

}  // namespace

class ScreenSaverTest : public QObject {
    Q_OBJECT
private slots:
    void inhibitsForTheBuildOnly() {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("XDG_RUNTIME_DIR");
        QCOMPARE(InhibitScreenSaver(), 0u);  // no bus: nothing, no error
        UnInhibitScreenSaver(5);

        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed");
        bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
        QVERIFY(bus.waitForStarted(5000));
        QVERIFY(bus.waitForReadyRead(5000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        QDBusConnection session = QDBusConnection::sessionBus();
        QVERIFY(session.isConnected());

        QCOMPARE(OnWorker(InhibitScreenSaver), 0u);  // a bus without the service

        FakeScreenSaver saver;
        QVERIFY(session.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        QVERIFY(session.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &saver,
                                       QDBusConnection::ExportAllSlots));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QDir().mkpath(dir.path() + "/src");
        auto platform = MakePosixPlatform(false);
        NoBoxes boxes;
        MainDialog dialog(*platform, (dir.path() + "/parumero.INI").toStdString(), &boxes);
        dialog.show();
        dialog.findChild<QLineEdit*>("edit1002")->setText(dir.path() + "/src");
        dialog.findChild<QLineEdit*>("edit1015")->setText(dir.path() + "/out.iso");
        dialog.findChild<QPushButton*>("button1")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.IsBuilding(), 60000);
        QCOMPARE(saver.inhibitedBy, QStringList({"parumero"}));
        QCOMPARE(saver.released, QList<uint>({7}));
    }

    void cleanupTestCase() {
        if (bus.state() != QProcess::NotRunning) {
            bus.kill();
            bus.waitForFinished(5000);
        }
    }

private:
    QProcess bus;
};

QTEST_MAIN(ScreenSaverTest)
#include "ScreenSaver_test.moc"
