// The main window and the windows it opens driven as a person would: typing,
// clicking, dropping a folder, with real builds on the worker thread into a
// scratch folder, the message boxes answered by a fake and, on a private
// session bus, a stand-in for the desktop's screen saver.
#include "ui/MainDialog.h"
#include "messages/JobMessages.h"

#include <sys/time.h>
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

#include "job/Progress.h"
#include "layout/ImageBuilder.h"
#include "messages/Strings.h"
#include "platform/Platform.h"
#include "reader/BootCatalogReader.h"
#include "tree/PathUtil.h"
#include "ui/AboutDialog.h"
#include "ui/AppIcon.h"
#include "ui/BootDialog.h"
#include "ui/VolumeInfoDialog.h"

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

constexpr int kBuildTimeoutMs = 60000;

// Every box shown, its text after "!" when it has the exclamation icon.
struct RecordedBoxes : MessageBoxes {
    QStringList shown;
    int beeps = 0;
    std::function<void()> onShow;  // runs while the box would be up
    void Show(const std::string& text, MessageIcon icon) override {
        shown << (icon == MessageIcon::Exclamation ? "!" : "") + QString::fromStdString(text);
        if (onShow) onShow();
    }
    void Beep() override { ++beeps; }
};

QString S(int id) { return QString::fromStdString(LoadString(id)); }

// Key presses one character at a time; keyClicks knows only ASCII keys.
void Keys(QWidget* w, const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Replaces the box's text by typing over it.
void Type(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    Keys(e, text);
}

void WriteFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Drops the path on the window as a file manager would.
void Drop(QWidget* target, const QString& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

// The real file system, and beside it a made-up folder "/huge" of 100,000
// files in 200 folders that no disk holds. While `hold` is set a listing
// under it waits (a slow disk under the test's control); `listed` counts them.
struct HugeTreePlatform : Platform {
    std::unique_ptr<Platform> real = MakePosixPlatform(false);
    std::atomic<bool> hold{false};
    std::atomic<int> listed{0};
    bool LookupEntry(const std::string& path, DirEntry& out) override {
        if (path != "/huge") return real->LookupEntry(path, out);
        out = DirEntry{"huge", "", 0, 0, false, true};
        return true;
    }
    bool ListFolder(const std::string& path, std::vector<DirEntry>& out, FileError& err, bool keepLinks) override {
        if (path.rfind("/huge", 0) != 0) return real->ListFolder(path, out, err, keepLinks);
        ++listed;
        while (hold) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const bool top = path == "/huge";
        for (int i = 0; i < (top ? 200 : 500); ++i)
            out.push_back(DirEntry{(top ? "d" : "f") + std::to_string(i), "", top ? 0u : 1000u, 0, false, top});
        return true;
    }
    std::unique_ptr<InputFile> OpenRead(const std::string& p, FileError& e) override { return real->OpenRead(p, e); }
    std::unique_ptr<OutputFile> CreateOutput(const std::string& p, FileError& e) override {
        return real->CreateOutput(p, e);
    }
    bool CreateFolder(const std::string& path) override { return real->CreateFolder(path); }
    std::string ProgramPath() override { return real->ProgramPath(); }
    int StandardTimeZoneOffset() override { return real->StandardTimeZoneOffset(); }
};

QString SizeText(uint64_t sectorCount) {
    std::string sectors = std::to_string(sectorCount), bytes = std::to_string(sectorCount * 2048);
    GroupDigits(sectors);
    GroupDigits(bytes);
    return QString::fromStdString(FormatString(10053, sectors, bytes)) + "\nCD 700 MB に収まります。";
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setenv("TZ", "JST-9", 1);
        tzset();
        platform = std::make_unique<HugeTreePlatform>();
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) return;  // the screen saver goes unchecked
        bus.start(daemon, {"--session", "--nofork", "--print-address=1"});
        QVERIFY(bus.waitForStarted(5000) && bus.waitForReadyRead(5000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        QDBusConnection session = QDBusConnection::sessionBus();
        saver = std::make_unique<FakeScreenSaver>();
        QVERIFY(session.registerService(QStringLiteral("org.freedesktop.ScreenSaver")));
        QVERIFY(session.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), saver.get(),
                                       QDBusConnection::ExportAllSlots));
    }

    void cleanupTestCase() {
        bus.kill();
        bus.waitForFinished(5000);
    }

    void init() {
        QVERIFY(dir.isValid());
        boxes = RecordedBoxes{};
        statuses.clear();
        if (saver) {
            saver->inhibitedBy.clear();
            saver->released.clear();
        }
        TheVolumeInfo() = VolumeInfo{};
        dialog = std::make_unique<MainDialog>(*platform, (dir.path() + "/parumero.INI").toStdString(), &boxes);
        connect(dialog.get(), &MainDialog::StatusShown, this, [this](const QString& s) { statuses << s; });
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
    }

    void cleanup() {
        // A worker still running here fails the test instead of hanging it.
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding(), kBuildTimeoutMs);
        dialog.reset();
    }

    // Every text the window shows before anything is typed, once; for a user
    // whose locale is not Japanese none of them is.
    void controlTexts() {
        auto captions = [](MainDialog& d) {
            QStringList texts = {d.windowTitle()};
            for (QLabel* l : d.findChildren<QLabel*>()) texts << l->text();
            for (QPushButton* b : d.findChildren<QPushButton*>()) texts << b->text();
            QComboBox* kinds = d.findChild<QComboBox*>("combo1009");
            for (int i = 0; i < kinds->count(); ++i) texts << kinds->itemText(i);
            for (QAction* menu : d.findChild<QMenuBar*>()->actions()) {
                texts << menu->text();
                for (QAction* item : menu->menu()->actions()) texts << item->text();
            }
            return texts + SaveDialogFilters(LoadString(10033));
        };
        AboutDialog about;
        QCOMPARE(captions(*dialog) << about.windowTitle(),
                 QStringList({"ぱるめろ", "フォルダ(&F):", "イメージ名(&I):", "ボリュームラベル(&V):", "作成日時(&T):",
                              "ファイルシステム(&S):", "", "", "", "", "...", "...", "作成開始(&E)", "終了(&X)",
                              "Joliet  (CD-ROM)", "UDF Bridge  (DVD-ROM)", "UDF", "ｼｽﾃﾑ(&Y)", "終了(&X)",
                              "追加情報(&P)", "ボリューム情報(&V)...", "ブートの設定(&B)...", "イメージの検証(&C)...", "ファイルの中身をブロック共有する (btrfs、XFS)(&R)", "Linux の属性を記録する (Rock Ridge、UDF)(&L)", "ﾍﾙﾌﾟ(&H)", "奥付(&A)...",
                              "ｲﾒｰｼﾞﾌｧｲﾙ (*.img *.iso) (*.iso *.img *.bin)", "全てのﾌｧｲﾙ (*.*) (*)",
                              "ぱるめろのﾊﾞｰｼﾞｮﾝ情報"}));
        QVERIFY(about.findChild<QPushButton*>("button1")->isDefault() && about.findChild<QLabel*>("licence")->text().contains("MIT ライセンス"));
        SetLanguage(LanguageOfLocale("C", nullptr, nullptr));
        const QString english = captions(*std::make_unique<MainDialog>(*platform, "", &boxes)).join('|') +
                                AboutDialog().findChild<QLabel*>("licence")->text();
        SetLanguage(Language::Japanese);
        QCOMPARE(QString::fromLatin1(english.toLatin1()), english);

        QVERIFY(Button(1)->isDefault() && Combo()->currentIndex() == 0);
        QCOMPARE(QDateTime(Date()->date(), Time()->time()), QDateTime(QDate::currentDate(), QTime(0, 0)));
        QProgressBar* bar = dialog->findChild<QProgressBar*>("progress1008");
        QCOMPARE(bar->maximum(), bar->width());  // one step a pixel
        QVERIFY(!ProgramIcon().pixmap(32, 32).isNull());
        // Alt+X is the exit button's alone.
        QTest::keyClick(dialog.get(), Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!dialog->isVisible());
    }

    // A build stopped part way leaves what it wrote; the next one runs to the
    // end with the screen saver held off and ends in its box; the image
    // checks out against the folder, a damaged copy does not.
    void stopThenBuildToTheEnd() {
        const QString src = dir.path() + "/build/src";
        WriteFile(src + "/a.txt", QByteArray(5000, 'a'));
        WriteFile(src + "/sub/b.txt", "b");
        QFile big(src + "/big.bin");
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(1) << 30));  // sparse: takes no room, reads as zeros
        big.close();
        // No extension and a folder that does not exist yet.
        const QString typed = dir.path() + "/build/out/deeper/disk", image = typed + ".iso";
        Type(Edit(1002), src);
        Type(Edit(1015), typed);

        QString droppedWhileBuilding;
        QMetaObject::Connection stopper;
        stopper = connect(dialog.get(), &MainDialog::StatusShown, this, [&](const QString& s) {
            if (s != S(10047)) return;
            disconnect(stopper);
            QTimer::singleShot(0, this, [&] {
                // A folder dropped now must not touch the running build's inputs.
                Drop(dialog.get(), dir.path());
                droppedWhileBuilding = Edit(1002)->text();
                Edit(1002)->setModified(true);  // nor a typed one
                QVERIFY(!dialog->TakeTypedFolder());
                QCOMPARE(Button(2)->text(), S(10043));
                QTest::mouseClick(Button(2), Qt::LeftButton);
            });
        });
        QString finalCounter;
        boxes.onShow = [&] { finalCounter = Label(1003)->text(); };
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding(), kBuildTimeoutMs);

        QCOMPARE(droppedWhileBuilding, src);
        QCOMPARE(boxes.shown, QStringList({"中止します。"}));
        QVERIFY(dialog->isVisible());
        // The file holds what was written, less than announced, and stays.
        const QStringList counter = finalCounter.chopped(5).remove(',').split(QStringLiteral(" / "));
        QCOMPARE(counter.size(), 2);
        const qint64 written = counter[0].toLongLong(), announced = counter[1].toLongLong();
        QVERIFY(announced > (qint64(1) << 30) && written > 0 && written < announced);
        QCOMPARE(QFileInfo(image).size(), written);

        QVERIFY(QFile::remove(src + "/big.bin"));
        QVERIFY(QFile::link("nowhere", src + "/gone"));  // the closing box says it is left out
        QStringList seen;  // while the box is up: the final count, still in the building state
        boxes.onShow = [&] {
            seen = QStringList{Label(1013)->text(), Label(1003)->text(), Button(2)->text()}
                   << QString::number(Button(1)->isEnabled() + MenuOn());
        };
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding() && !dialog->IsMeasuring(), kBuildTimeoutMs);
        QCOMPARE(Edit(1015)->text(), typed);  // the box keeps the text as typed
        const qint64 size = QFileInfo(image).size();
        QVERIFY(size > 0 && size < announced);
        QCOMPARE(boxes.shown, QStringList({"中止します。", S(10041) + "\n1 個の項目 (リンク先のないリンク 1) はイメージに含まれていません。"
                                                                 "一覧は --size --check で表示されます。"}));
        QCOMPARE(boxes.beeps, 2);
        QCOMPARE(seen, QStringList({"100%", QString::fromStdString(ByteCounterText(size, size)), S(10043), "0"}));
        if (saver) {
            QCOMPARE(saver->inhibitedBy, QStringList({"parumero", "parumero"}));
            QCOMPARE(saver->released, QList<uint>({7, 7}));
        }

        // The typed folder was taken when the focus left it; after each build
        // its size is measured again.
        QCOMPARE(Edit(1004)->text(), QStringLiteral("src"));
        const QString preview = SizeText(size / 2048);
        QCOMPARE(statuses.mid(statuses.lastIndexOf(S(10046))), QStringList({S(10046), S(10047), S(10051), preview}));
        // Idle again, with the new preview and everything cleared.
        QCOMPARE(QStringList({Button(2)->text(), Label(1001)->text(), Label(1013)->text(), Label(1003)->text()}),
                 QStringList({"終了(&X)", preview, "", ""}));
        QVERIFY(Button(1)->isEnabled() && Edit(1002)->isEnabled() && MenuOn());
        QCOMPARE(dialog->findChild<QProgressBar*>("progress1008")->value(), 0);

        QFile built(image);
        QVERIFY(built.open(QIODevice::ReadOnly));
        QByteArray bytes = built.readAll();
        bytes[bytes.indexOf(QByteArray(5000, 'a')) + 100] = 'b';
        const QString damaged = dir.path() + "/build/damaged.iso";
        WriteFile(damaged, bytes);
        boxes.shown.clear();
        for (const QString& checked : {image, damaged}) {
            QVERIFY(dialog->StartCheck(checked.toStdString()));
            QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding(), kBuildTimeoutMs);
        }
        QCOMPARE(boxes.shown, QStringList({S(kMsgImageMatches), "!a.txt: 内容がバイト位置 100 で異なります\n" +
                                                                     QString::fromStdString(FormatString(kMsgImageDiffers, "1"))}));

        // Idle, the same button closes the window.
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QVERIFY(!dialog->isVisible() && dialog->result() == QDialog::Rejected);
    }

    // Each refusal: its message and icon, where the focus goes, and no build.
    void startRefusesBadInput() {
        const QString src = dir.path() + "/valid", missing = dir.path() + "/missing";
        QDir().mkpath(src);
        const struct {
            QString source, image, label, message;
            int focus;
        } cases[] = {
            {src, src + ".iso", "ABCDEFGHIJKLMNOP", "15 文字以内で入力してください。", 1004},
            {missing, src + ".iso", "OK", QString::fromStdString(FormatString(10039, missing.toStdString())), 0},
            {src, "", "OK", S(10077), 0},  // 0: the focus stays where it was
        };
        for (const auto& c : cases) {
            boxes.shown.clear();
            Edit(1002)->setText(c.source);
            Edit(1015)->setText(c.image);
            Edit(1004)->setText(c.label);
            Button(1)->setFocus();
            QTest::mouseClick(Button(1), Qt::LeftButton);
            QCOMPARE(boxes.shown, QStringList({"!" + c.message}));
            QCOMPARE(QApplication::focusWidget(), c.focus ? (QWidget*)Edit(c.focus) : Button(1));
            QVERIFY(!dialog->IsBuilding());
        }
        QVERIFY(statuses.isEmpty());
        // 15 double-byte characters fill the box's 30 bytes; a 16th does not fit.
        Type(Edit(1004), QString(16, QChar(u'漢')));
        QCOMPARE(Edit(1004)->text(), QString(15, QChar(u'漢')));
    }

    // A folder typed (taken on Enter or when the focus leaves the box) or
    // dropped gives the label (its name to the last dot, 15 units at most),
    // the date and the size; what names no folder is passed over silently.
    void takeFolder() {
        // Before any folder was taken a new kind computes nothing.
        QComboBox* kinds = Combo();
        kinds->setFocus();
        QTest::keyClick(kinds, Qt::Key_Down);
        QCOMPARE(kinds->currentIndex(), 1);
        QVERIFY(statuses.isEmpty());
        QTest::keyClick(kinds, Qt::Key_Up);

        const QString holiday = dir.path() + "/take/Holiday.2010", other = dir.path() + "/take/SummerHolidayPhotos";
        const QString image = Edit(1015)->text();
        WriteFile(holiday + "/photo.jpg", QByteArray(3000, 'p'));
        WriteFile(other + "/x.txt", "x");
        const struct timeval taken[2] = {{1281847530, 0}, {1281847530, 0}};  // 2010-08-15 13:45:30 JST
        QVERIFY(::utimes(holiday.toLocal8Bit().constData(), taken) == 0);
        Type(Edit(1002), holiday + "/");
        QTest::keyClick(Edit(1002), Qt::Key_Return);  // takes the folder, starts nothing
        QCOMPARE(Edit(1002)->text() + Edit(1004)->text(), holiday + "Holiday");
        QCOMPARE(QDateTime(Date()->date(), Time()->time()), QDateTime(QDate(2010, 8, 15), QTime(13, 45, 30)));
        QVERIFY(!dialog->IsBuilding());
        QTRY_COMPARE(statuses, QStringList({S(10051), SizeText(27)}));
        QCOMPARE(Label(1001)->text(), statuses[1]);
        QCOMPARE(Edit(1015)->text(), image);  // a folder does not name the image

        for (const QString& typed : {dir.path() + "/take/none", holiday + "/photo.jpg", other}) {
            Type(Edit(1002), typed);
            Edit(1015)->setFocus();
        }
        QCOMPARE(Edit(1004)->text(), QStringLiteral("SummerHolidayPh"));
        Drop(dialog.get(), dir.path() + "/take/gone");
        QCOMPARE(Edit(1004)->text(), QStringLiteral("SummerHolidayPh"));
        QTRY_COMPARE(statuses.mid(2), QStringList({S(10051), SizeText(26)}));
        QVERIFY(boxes.shown.isEmpty());
    }

    // A huge folder is measured on the preview thread: the window answers
    // meanwhile, a newer request (a change of kind) cancels the older, and
    // closing the window ends it.
    void previewOffTheWindowThread() {
        JobMessages queue;
        ImageBuilder bridge(*platform, BuildRequest{.sourceFolder = "/huge", .kind = FileSystemType::UdfBridge}, queue);
        QVERIFY(bridge.Layout());
        platform->listed = 0;
        platform->hold = true;
        Drop(dialog.get(), "/huge");  // back at once, though the scan is held
        QCOMPARE(Edit(1004)->text(), QStringLiteral("huge"));
        QTRY_COMPARE(int(platform->listed), 1);
        Combo()->setFocus();
        QTest::keyClick(Combo(), Qt::Key_Down);  // a new kind while measuring
        platform->hold = false;
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsMeasuring(), kBuildTimeoutMs);
        QCOMPARE(statuses, QStringList({S(10051), S(10051), SizeText(bridge.m_dwTotalSectors)}));
        QCOMPARE(int(platform->listed), 1 + 201);  // the first scan ended where it was held

        platform->hold = true;
        QTest::keyClick(Combo(), Qt::Key_Down);
        QTRY_COMPARE(int(platform->listed), 203);
        Type(Edit(1002), dir.path());  // an edited folder box loses the focus as the window closes
        dialog->close();
        QVERIFY(!dialog->isVisible());
        platform->hold = false;
        QTest::qWait(200);
        QCOMPARE(int(platform->listed), 203);
        QCOMPARE(statuses.last(), S(10051));
    }

    // The volume information window from the menu. Its creation row shows
    // the main window's date until the record has one; a refused value keeps
    // it open with the box at fault selected; "標準に設定(&F)" saves and
    // Cancel keeps what it set; OK hands the values and the date back without
    // saving; an all-zero date leaves the main window's as it is.
    void volumeInformation() {
        const QString ini = dir.path() + "/parumero.INI";
        QFile::remove(ini);
        Date()->setDate(QDate(2020, 1, 2));
        Time()->setTime(QTime(3, 4, 5));
        auto button = [](VolumeInfoDialog* v, int id) { return v->findChild<QPushButton*>(QStringLiteral("button%1").arg(id)); };
        auto creationRow = [](VolumeInfoDialog* v) {
            QStringList row;
            for (int id = 1129; id <= 1134; ++id) row << v->Edit(id)->text();
            return row.join(' ');
        };
        // Values out of range at load: one box, then listed in the window until OK saves.
        dialog->SetSettingsWarnings({"VolNumber=70000", "ExpirationYear=-5"});
        QCOMPARE(boxes.shown, QStringList({"!VolNumber=70000\nExpirationYear=-5"}));
        boxes.shown.clear();
        OpenVolumeInfo([&](VolumeInfoDialog* v) {
            QCOMPARE(v->findChild<QLabel*>("labelSettingsWarnings")->text(), "VolNumber=70000\nExpirationYear=-5");
            QCOMPARE(QStringList({v->windowTitle(), button(v, 1)->text(), button(v, 4)->text(), button(v, 2)->text()}),
                     QStringList({"ボリューム情報の設定", "OK", "標準に設定(&F)", "ｷｬﾝｾﾙ"}));
            QVERIFY(button(v, 2)->isDefault() && !button(v, 1)->isDefault());
            QCOMPARE(creationRow(v), QStringLiteral("2020 1 2 3 4 5"));
            // The boxes take what their fields hold: 22 bytes of code page 932, 128 (64 double-byte characters).
            Keys(v->Edit(1128), QString(30, QChar('i')));
            Keys(v->Edit(1113), QString(70, QChar(u'漢')));
            QCOMPARE(v->Edit(1128)->text().size() + v->Edit(1113)->text().size(), 22 + 64);

            Type(v->Edit(1136), QStringLiteral("13"));
            Type(v->Edit(1110), QStringLiteral("x"));
            QTest::mouseClick(button(v, 1), Qt::LeftButton);
            QCOMPARE(boxes.shown, QStringList({"整数を入力してください。"}));
            // Still open, the box at fault selected.
            QVERIFY(v->isVisible() && v->focusWidget() == v->Edit(1110) && v->Edit(1110)->selectedText() == "x");
            Type(v->Edit(1110), QStringLiteral("3"));
            QTest::mouseClick(button(v, 4), Qt::LeftButton);
            QCOMPARE(boxes.shown.last(), QStringLiteral("!0 から 12 までの整数を入力してください。"));
            QCOMPARE(v->focusWidget(), v->Edit(1136));
            QVERIFY(!QFile::exists(ini) && TheVolumeInfo().VolSetSize == 1);  // nothing copied, nothing saved

            Type(v->Edit(1136), QStringLiteral("12"));
            Type(v->Edit(1109), QStringLiteral("Linux"));
            Type(v->Edit(1129), QStringLiteral("2030"));
            QTest::mouseClick(button(v, 4), Qt::LeftButton);
            QVERIFY(v->isVisible());
            // A save that fails (a folder holds the name the new file is written
            // under first, for any user on any file system): a box with the file
            // and the cause, the typed value kept, the file as it was.
            QVERIFY(QDir().mkpath(ini + ".tmp"));
            Type(v->Edit(1109), QStringLiteral("unsaved"));
            QTest::mouseClick(button(v, 4), Qt::LeftButton);
            QCOMPARE(boxes.shown.last(), "!" + ini + "\n設定ファイルに保存できませんでした。\n原因は不明です。");
            QCOMPARE(v->Edit(1109)->text(), QStringLiteral("unsaved"));
            QVERIFY(QDir(ini + ".tmp").removeRecursively());
            Type(v->Edit(1109), QStringLiteral("changed"));
            QTest::mouseClick(button(v, 2), Qt::LeftButton);
        });
        VolumeInfo saved;
        LoadVolumeInfo(saved, ini.toStdString());
        QCOMPARE(saved.OS + saved.ImplID + std::to_string(saved.VolSetSize), "Linux" + std::string(22, 'i') + "3");
        QCOMPARE(saved.Creation, (VolumeDate{2030, 1, 0, 2, 3, 4, 5, 0}));
        QCOMPARE(TheVolumeInfo().OS, std::string("unsaved"));  // set though not saved; Cancel keeps it
        QCOMPARE(Date()->date(), QDate(2020, 1, 2));

        OpenVolumeInfo([&](VolumeInfoDialog* v) {
            QCOMPARE(creationRow(v), QStringLiteral("2030 1 2 3 4 5"));  // the record's date now
            const char* row[] = {"2011", "12", "13", "14", "15", "16"};
            for (int i = 0; i < 6; ++i) v->Edit(1129 + i)->setText(row[i]);
            Type(v->Edit(1113), QStringLiteral("出版社"));
            QTest::mouseClick(button(v, 1), Qt::LeftButton);
        });
        QCOMPARE(QDateTime(Date()->date(), Time()->time()), QDateTime(QDate(2011, 12, 13), QTime(14, 15, 16)));
        QCOMPARE(TheVolumeInfo().Publisher, std::string("出版社"));
        LoadVolumeInfo(saved, ini.toStdString());
        QCOMPARE(saved.Creation.year, uint16_t(2030));  // OK saves nothing

        OpenVolumeInfo([&](VolumeInfoDialog* v) {
            for (int id = 1129; id <= 1134; ++id) v->Edit(id)->setText("0");
            QTest::mouseClick(button(v, 1), Qt::LeftButton);
        });
        QVERIFY(IsDateUnset(TheVolumeInfo().Creation));
        QCOMPARE(QDateTime(Date()->date(), Time()->time()), QDateTime(QDate(2011, 12, 13), QTime(14, 15, 16)));
        QCOMPARE(boxes.shown.size(), 3);
    }

    // The boot settings window from the menu refuses a missing image and a
    // load size out of range; OK names the platforms beside the kind, writes
    // section [Boot], and the next build has both entries and the catalog.
    void bootSettings() {
        const QString src = dir.path() + "/boot/src", bios = dir.path() + "/boot/bios.bin",
                      uefi = dir.path() + "/boot/efi.img", ini = dir.path() + "/parumero.INI", image = dir.path() + "/boot.iso";
        QFile::remove(ini);
        WriteFile(src + "/a.txt", "a");
        WriteFile(bios, QByteArray(2048, 'b'));
        QByteArray fat(512, 0);  // just the boot sector fields the build checks
        fat[12] = 2, fat[13] = 1, fat[14] = 1, fat[16] = 2, fat[510] = 0x55, fat[511] = char(0xAA);
        WriteFile(uefi, fat);
        QVERIFY(Label(1016)->isHidden());
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            auto* b = dialog->findChild<BootDialog*>();
            auto edit = [b](int id) { return b->findChild<QLineEdit*>(QStringLiteral("edit%1").arg(id)); };
            auto* ok = b->findChild<QPushButton*>("button1");
            Type(edit(1201), bios + "x");
            Type(edit(1203), "70000");
            QTest::mouseClick(ok, Qt::LeftButton);
            Type(edit(1201), bios);
            QTest::mouseClick(ok, Qt::LeftButton);
            QCOMPARE(b->focusWidget(), edit(1203));
            Type(edit(1203), "4");
            b->findChild<QCheckBox*>("check1204")->setChecked(true);
            Type(edit(1205), uefi);
            Type(edit(1207), "boot.cat");
            QTest::mouseClick(ok, Qt::LeftButton);
            ran = !b->isVisible();
        });
        dialog->findChild<QAction*>("actionBoot")->trigger();
        QVERIFY(ran);
        QCOMPARE(boxes.shown, QStringList({"!" + bios + "x\nブートイメージが見つかりません。", "!" + S(kMsgLoadSizeRange)}));
        QVERIFY(Label(1016)->isVisible());
        QCOMPARE(Label(1016)->text(), QStringLiteral("起動可能: BIOS、UEFI"));
        QFile saved(ini);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString(saved.readAll()), "[Boot]\nBiosImage=" + bios + "\nBiosLoadSize=4\nBiosInfoTable=1\nUefiImage=" +
                                               uefi + "\nCatalog=boot.cat\n");

        Type(Edit(1002), src);
        Type(Edit(1015), image);
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding(), kBuildTimeoutMs);
        FileSource file;
        std::string why;
        QVERIFY(file.Open(image.toStdString(), why));
        const BootCatalogRead read = ReadBootCatalog(file);
        QVERIFY(read.entries.size() == 2 && read.entries[0].entry.platform == BootPlatform::Bios &&
                read.entries[1].entry.platform == BootPlatform::Uefi && read.entries[0].entry.loadSectors == 4);
        QFile built(image);
        QVERIFY(built.open(QIODevice::ReadOnly));
        const QByteArray bytes = built.readAll();
        QCOMPARE(bytes.mid(qsizetype(read.entries[0].entry.imageSector) * 2048 + 8, 4), QByteArray("\x10\0\0\0", 4));  // the table's descriptor sector
        QVERIFY(bytes.contains("boot.cat;1"));  // listed in the ISO 9660 tree
    }

private:
    QPushButton* Button(int id) { return dialog->findChild<QPushButton*>(QStringLiteral("button%1").arg(id)); }
    QLineEdit* Edit(int id) { return dialog->findChild<QLineEdit*>(QStringLiteral("edit%1").arg(id)); }
    QLabel* Label(int id) { return dialog->findChild<QLabel*>(QStringLiteral("static%1").arg(id)); }
    QComboBox* Combo() { return dialog->findChild<QComboBox*>("combo1009"); }
    QDateEdit* Date() { return dialog->findChild<QDateEdit*>("date1006"); }
    QTimeEdit* Time() { return dialog->findChild<QTimeEdit*>("time1007"); }
    bool MenuOn() { return dialog->findChild<QMenuBar*>()->actions().first()->isEnabled(); }

    // Opens the volume information window from the menu and runs `use`
    // while it is up; a window `use` leaves open is cancelled.
    void OpenVolumeInfo(const std::function<void(VolumeInfoDialog*)>& use) {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            auto* v = dialog->findChild<VolumeInfoDialog*>();
            QVERIFY(v);
            use(v);
            ran = true;
            if (v->isVisible()) v->reject();
        });
        dialog->findChild<QAction*>("action32772")->trigger();
        QVERIFY(ran);
    }

    std::unique_ptr<HugeTreePlatform> platform;
    QProcess bus;
    std::unique_ptr<FakeScreenSaver> saver;
    QTemporaryDir dir;
    RecordedBoxes boxes;
    QStringList statuses;
    std::unique_ptr<MainDialog> dialog;
};

QTEST_MAIN(MainDialogTest)
#include "MainDialog_test.moc"
