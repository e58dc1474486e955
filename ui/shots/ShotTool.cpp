// Grabs the screenshots of docs/: the main window idle with the size of the
// sample folder, the main window during a build, the volume information
// window and the image file dialog, in the language of the locale (names end
// in "-en" for English). Run under a real X server (scripts/screenshots.sh
// uses Xvfb).
// Usage: parumero-shots OUTPUT_FOLDER SAMPLE_FOLDER
#include <unistd.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QTranslator>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

#include "messages/Strings.h"
#include "platform/Platform.h"
#include "settings/VolumeInfo.h"
#include "ui/AppIcon.h"
#include "ui/MainDialog.h"
#include "ui/VolumeInfoDialog.h"

using namespace pm;

namespace {

// Outcome boxes are answered at once; the pictures are of the windows.
struct SilentBoxes : MessageBoxes {
    void Show(const std::string&, MessageIcon) override {}
};

// Lets the window system catch up, for at most `ms`, until `done` holds.
template <class Done>
bool Pump(int ms, Done done) {
    QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void Settle() {
    Pump(300, [] { return false; });
}

bool Save(QWidget& w, const QString& path) {
    if (!w.grab().save(path)) {
        std::fprintf(stderr, "parumero-shots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

int PercentShown(MainDialog& d) {
    QString t = d.findChild<QLabel*>(QStringLiteral("static1013"))->text();
    t.chop(1);  // "37%"
    return t.toInt();
}

}  // namespace

int main(int argc, char** argv) {
    SetLanguage(LanguageFromEnvironment());
    QApplication app(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    // Qt's own texts in the same language, as the program loads them.
    QTranslator qtTexts;
    if (CurrentLanguage() == Language::Japanese &&
        qtTexts.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    const QString suffix = CurrentLanguage() == Language::Japanese ? QString() : QStringLiteral("-en");
    if (argc != 3) {
        std::fprintf(stderr, "usage: parumero-shots OUTPUT_FOLDER SAMPLE_FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const std::string sample = QDir(QString::fromLocal8Bit(argv[2])).absolutePath().toStdString();
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    const std::string settings = (scratch.path() + "/parumero.INI").toStdString();

    auto platform = MakePosixPlatform();
    SilentBoxes boxes;
    MainDialog dialog(*platform, settings, &boxes);
    dialog.m_strImagePath = (QDir::homePath() + "/sample.iso").toStdString();
    dialog.ExchangeData(false);
    dialog.show();
    Settle();
    dialog.DropFolder(sample);
    if (!Pump(60000, [&] { return !dialog.IsMeasuring(); })) return 1;
    Settle();
    bool ok = Save(dialog, out + "/main-idle" + suffix + ".png");

    // A build slow enough to catch: a large sparse file, written to the null
    // device so nothing of it lands on disk. The worker waits for the window
    // at every new percent, so the picture is taken at a known point.
    const QString big = scratch.path() + "/Backup";
    QDir().mkpath(big + "/photos");
    QFile movie(big + "/movie.bin");
    if (!movie.open(QIODevice::WriteOnly) || !movie.resize(qint64(3) << 30)) return 1;
    movie.close();
    QFile(big + "/photos/notes.txt").open(QIODevice::WriteOnly);
    const QString image = scratch.path() + "/Backup.iso";
    if (::symlink("/dev/null", image.toLocal8Bit().constData()) != 0) return 1;
    dialog.DropFolder(big.toStdString());
    dialog.m_strImagePath = image.toStdString();
    dialog.ExchangeData(false);
    dialog.findChild<QPushButton*>(QStringLiteral("button1"))->click();
    if (!Pump(60000, [&] { return PercentShown(dialog) >= 37 || !dialog.IsBuilding(); })) return 1;
    dialog.RefreshByteCounter();  // what the next refresh tick would show
    ok = Save(dialog, out + "/main-building" + suffix + ".png") && ok;
    dialog.ExitOrStop();
    if (!Pump(60000, [&] { return !dialog.IsBuilding(); })) return 1;

    VolumeInfoDialog volume(TheVolumeInfo(), dialog.m_creationDate, dialog.m_creationTime, settings, &boxes,
                            &dialog);
    volume.show();
    Settle();
    ok = Save(volume, out + "/volume-info" + suffix + ".png") && ok;
    volume.close();

    // The image file dialog as the "..." button opens it (Qt's own dialog:
    // Xvfb has no desktop to lend it one), looking into the sample's folder.
    QFileDialog files(&dialog, QString::fromStdString(LoadString(kTextSaveDialogTitle)));
    files.setOption(QFileDialog::DontUseNativeDialog);
    files.setAcceptMode(QFileDialog::AcceptSave);
    files.setOption(QFileDialog::HideNameFilterDetails);
    files.setNameFilters(SaveDialogFilters(LoadString(kTextImageFileFilter)));
    files.setDirectory(QDir(QString::fromStdString(sample)).absoluteFilePath(QStringLiteral("..")));
    files.selectFile(QStringLiteral("sample.iso"));
    files.resize(640, 400);
    files.show();
    Settle();
    ok = Save(files, out + "/file-dialog" + suffix + ".png") && ok;
    return ok ? 0 : 1;
}
