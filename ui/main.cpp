// parumero: the desktop program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>

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
    // `parumero FOLDER` (also how the desktop entry passes a folder): Qt has
    // taken its own options out by now.
    const QStringList args = QApplication::arguments();
    std::string folder;
    if (args.size() > 1) folder = QDir::cleanPath(QFileInfo(args[1]).absoluteFilePath()).toStdString();
    return builder.Run(folder);
}
