// parumero: the desktop program.
#include <QApplication>

#include "platform/Platform.h"
#include "ui/AppIcon.h"
#include "ui/BuilderApp.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parumero"));
    QApplication::setDesktopFileName(QStringLiteral("parumero"));
    QApplication::setWindowIcon(pm::ProgramIcon());
    auto platform = pm::MakePosixPlatform();
    pm::BuilderApp builder(*platform);
    return builder.Run();
}
