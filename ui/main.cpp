// parumero: the desktop program.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include "messages/Strings.h"
#include "platform/Platform.h"
#include "ui/AppIcon.h"
#include "ui/BuilderApp.h"

int main(int argc, char** argv) {
    pm::SetLanguage(pm::LanguageFromEnvironment());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("parumero"));
    QApplication::setDesktopFileName(QStringLiteral("parumero"));
    QApplication::setWindowIcon(pm::ProgramIcon());
    // Qt's own texts (file dialogs, standard buttons) in the language of ours;
    // without Debian's qt6-translations-l10n they stay English.
    QTranslator qtTexts;
    if (pm::CurrentLanguage() == pm::Language::Japanese &&
        qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    auto platform = pm::MakePosixPlatform();
    pm::BuilderApp builder(*platform);
    // `parumero FOLDER` (also how the desktop entry passes a folder): Qt has
    // taken its own options out by now.
    const QStringList args = QApplication::arguments();
    std::string folder;
    if (args.size() > 1) folder = QDir::cleanPath(QFileInfo(args[1]).absoluteFilePath()).toStdString();
    return builder.Run(folder);
}
