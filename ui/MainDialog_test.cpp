// The main window driven as a person would: typing, clicking, dropping a
// folder, with real builds on the worker thread into a scratch folder and the
// message boxes answered by a fake.
#include "ui/MainDialog.h"

#include <sys/time.h>

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimeEdit>
#include <QtTest>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

#include "job/Progress.h"
#include "job/Strings.h"
#include "platform/Platform.h"
#include "tree/PathUtil.h"
#include "ui/AppIcon.h"
#include "ui/VolumeInfoDialog.h"

using namespace pm;

namespace {

constexpr int kBuildTimeoutMs = 60000;

struct RecordedBoxes : MessageBoxes {
    std::vector<std::pair<std::string, MessageIcon>> shown;
    int beeps = 0;
    std::function<void()> onShow;  // runs while the box would be up
    void Show(const std::string& text, MessageIcon icon) override {
        shown.emplace_back(text, icon);
        if (onShow) onShow();
    }
    void Beep() override { ++beeps; }
};

QString S(int id) { return QString::fromStdString(LoadString(id)); }

// Key presses one character at a time; keyClicks knows only ASCII keys.
void Type(QLineEdit* e, const QString& text) {
    e->setFocus();
    e->selectAll();
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, e, Qt::Key_unknown, QString(c), Qt::NoModifier);
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

void SetMtime(const QString& path, std::time_t t) {
    struct timeval tv[2] = {{t, 0}, {t, 0}};
    QVERIFY(::utimes(path.toLocal8Bit().constData(), tv) == 0);
}

}  // namespace

class MainDialogTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        setenv("TZ", "JST-9", 1);
        tzset();
        platform = MakePosixPlatform(false);
    }

    void init() {
        QVERIFY(dir.isValid());
        boxes = RecordedBoxes{};
        statuses.clear();
        TheVolumeInfo() = VolumeInfo{};
        dialog = std::make_unique<MainDialog>(*platform, (dir.path() + "/parumero.INI").toStdString(), &boxes);
        connect(dialog.get(), &MainDialog::StatusShown, this, [this](const QString& s) { statuses << s; });
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    }

    void cleanup() {
        // A worker still running here fails the test instead of hanging it.
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding(), kBuildTimeoutMs);
        dialog.reset();
    }

    void controlsTextsAndMenus() {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("ぱるめろ"));
        QCOMPARE(Button(1)->text(), QStringLiteral("作成開始(&E)"));
        QCOMPARE(Button(2)->text(), QStringLiteral("終了(&X)"));
        QVERIFY(Button(1)->isDefault());
        QComboBox* kinds = Combo();
        QCOMPARE(kinds->count(), 3);
        QCOMPARE(kinds->itemText(0), QStringLiteral("Joliet  (CD-ROM)"));
        QCOMPARE(kinds->itemText(1), QStringLiteral("UDF Bridge  (DVD-ROM)"));
        QCOMPARE(kinds->itemText(2), QStringLiteral("UDF"));
        QCOMPARE(kinds->currentIndex(), 0);
        // The resource's placeholder texts give way to the empty fields.
        QCOMPARE(Label(1001)->text(), QString());
        QCOMPARE(Label(1013)->text(), QString());
        QCOMPARE(dialog->findChild<QDateEdit*>("date1006")->date(), QDate::currentDate());
        QCOMPARE(dialog->findChild<QTimeEdit*>("time1007")->time(), QTime(0, 0, 0));

        QProgressBar* bar = dialog->findChild<QProgressBar*>("progress1008");
        QCOMPARE(bar->maximum(), bar->width());
        QCOMPARE(bar->value(), 0);

        QStringList order;
        QWidget* w = Edit(1002);
        for (int i = 0; i < 10; ++i, w = w->nextInFocusChain()) {
            while (!(w->focusPolicy() & Qt::TabFocus) || w->objectName().isEmpty() ||
                   w->objectName().startsWith(QLatin1String("qt_")))
                w = w->nextInFocusChain();
            order << w->objectName();
        }
        QCOMPARE(order, QStringList({"edit1002", "button1000", "edit1015", "button1014", "edit1004", "date1006",
                                     "time1007", "combo1009", "button1", "button2"}));

        QStringList menus;
        for (QAction* menu : dialog->findChild<QMenuBar*>()->actions()) {
            menus << menu->text();
            for (QAction* item : menu->menu()->actions()) menus << item->text();
        }
        QCOMPARE(menus, QStringList({"ｼｽﾃﾑ(&X)", "終了(&X)", "追加情報(&P)", "ボリューム情報(&V)...", "ﾍﾙﾌﾟ(&H)",
                                     "奥付(&A)..."}));

        QVERIFY(!ProgramIcon().pixmap(32, 32).isNull());

        QCOMPARE(SaveDialogFilters(LoadString(10033)),
                 QStringList({"ｲﾒｰｼﾞﾌｧｲﾙ (*.img *.iso) (*.iso *.img *.bin)", "全てのﾌｧｲﾙ (*.*) (*)"}));
    }

    void buildRunsToTheEnd() {
        const QString src = dir.path() + "/build/src";
        WriteFile(src + "/a.txt", QByteArray(5000, 'a'));
        WriteFile(src + "/sub/b.txt", "b");
        // No extension and a folder that does not exist yet.
        const QString typed = dir.path() + "/build/out/deeper/disk";
        Type(Edit(1002), src);
        Type(Edit(1015), typed);

        struct Seen {
            QString percent, bytes, stopButton;
            bool startEnabled = true, menuEnabled = true;
        } seen;
        boxes.onShow = [&] {
            seen = {Label(1013)->text(), Label(1003)->text(), Button(2)->text(), Button(1)->isEnabled(),
                    dialog->findChild<QMenuBar*>()->actions().first()->isEnabled()};
        };
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding(), kBuildTimeoutMs);

        const QString image = typed + ".iso";
        QVERIFY(QFile::exists(image));
        QCOMPARE(Edit(1015)->text(), typed);  // the box keeps the text as typed
        const qint64 size = QFileInfo(image).size();
        QVERIFY(size > 0 && size % 2048 == 0);

        QCOMPARE(int(boxes.shown.size()), 1);
        QCOMPARE(QString::fromStdString(boxes.shown[0].first), S(10041));
        QVERIFY(boxes.shown[0].second == MessageIcon::None);
        QCOMPARE(boxes.beeps, 1);
        // While the box is up: the final count, still in the building state.
        QCOMPARE(seen.percent, QStringLiteral("100%"));
        QCOMPARE(seen.bytes, QString::fromStdString(ByteCounterText(size, size)));
        QCOMPARE(seen.stopButton, S(10043));
        QVERIFY(!seen.startEnabled);
        QVERIFY(!seen.menuEnabled);

        std::string sectors = std::to_string(size / 2048), bytes = std::to_string(size);
        GroupDigits(sectors);
        GroupDigits(bytes);
        const QString preview = QString::fromStdString(FormatString(10053, sectors, bytes));
        QCOMPARE(statuses, QStringList({S(10046), S(10047), S(10051), preview}));

        // Idle again, with the new preview and everything cleared.
        QCOMPARE(Button(2)->text(), QStringLiteral("終了"));
        QVERIFY(Button(1)->isEnabled());
        QVERIFY(Edit(1002)->isEnabled());
        QVERIFY(dialog->findChild<QMenuBar*>()->actions().first()->isEnabled());
        QCOMPARE(Label(1001)->text(), preview);
        QCOMPARE(Label(1013)->text(), QString());
        QCOMPARE(Label(1003)->text(), QString());
        QCOMPARE(dialog->findChild<QProgressBar*>("progress1008")->value(), 0);

        // The extension rule: any case of a known one stays, anything else
        // gets ".iso" behind it.
        Type(Edit(1015), dir.path() + "/build/out/disk.ISO");
        QVERIFY(BuildAndWait());
        QVERIFY(QFile::exists(dir.path() + "/build/out/disk.ISO"));
        Type(Edit(1015), dir.path() + "/build/out/disk.txt");
        QVERIFY(BuildAndWait());
        QVERIFY(QFile::exists(dir.path() + "/build/out/disk.txt.iso"));
        QCOMPARE(QString::fromStdString(boxes.shown.back().first), S(10041));
    }

    void stopDuringBuild() {
        const QString src = dir.path() + "/stop/src";
        WriteFile(src + "/small.txt", "x");
        QFile big(src + "/big.bin");
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(1) << 30));  // sparse: takes no room, reads as zeros
        big.close();
        const QString image = dir.path() + "/stop/out.iso";
        Type(Edit(1002), src);
        Type(Edit(1015), image);

        QString droppedWhileBuilding;
        QMetaObject::Connection stopper;
        stopper = connect(dialog.get(), &MainDialog::StatusShown, this, [&](const QString& s) {
            if (s != S(10047)) return;
            disconnect(stopper);
            QTimer::singleShot(0, this, [&] {
                // A folder dropped now must not touch the running build's inputs.
                Drop(dialog.get(), dir.path());
                droppedWhileBuilding = Edit(1002)->text();
                QCOMPARE(Button(2)->text(), S(10043));
                QTest::mouseClick(Button(2), Qt::LeftButton);
            });
        });
        QString finalCounter;
        boxes.onShow = [&] { finalCounter = Label(1003)->text(); };
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog->IsBuilding(), kBuildTimeoutMs);

        QCOMPARE(droppedWhileBuilding, src);
        QCOMPARE(int(boxes.shown.size()), 1);
        QCOMPARE(QString::fromStdString(boxes.shown[0].first), QStringLiteral("中止します。"));
        QVERIFY(dialog->isVisible());
        // The file holds what was written, less than announced, and stays.
        const QStringList counter = finalCounter.chopped(5).split(QStringLiteral(" / "));
        QCOMPARE(counter.size(), 2);
        const qint64 written = QString(counter[0]).remove(',').toLongLong();
        const qint64 announced = QString(counter[1]).remove(',').toLongLong();
        QVERIFY(announced > (qint64(1) << 30));
        QVERIFY(written > 0 && written < announced);
        QCOMPARE(QFileInfo(image).size(), written);

        // The next build runs to the end.
        QVERIFY(QFile::remove(src + "/big.bin"));
        QVERIFY(BuildAndWait());
        QCOMPARE(QString::fromStdString(boxes.shown.back().first), S(10041));
        QVERIFY(QFileInfo(image).size() < announced);

        // Idle, the same button closes the window.
        QTest::mouseClick(Button(2), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
    }

    void startRefusesBadInput() {
        const QString src = dir.path() + "/valid";
        QDir().mkpath(src);
        Type(Edit(1002), src);
        Type(Edit(1015), dir.path() + "/valid.iso");
        Type(Edit(1004), QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(Edit(1004)->text().size(), 16);  // the box takes 30 bytes
        Edit(1002)->setFocus();
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(int(boxes.shown.size()), 1);
        QCOMPARE(boxes.shown[0].first, std::string("15 文字以内で入力してください。"));
        QVERIFY(boxes.shown[0].second == MessageIcon::Exclamation);
        QCOMPARE(QApplication::focusWidget(), Edit(1004));
        QVERIFY(!dialog->IsBuilding());

        // 15 double-byte characters fill the 30 bytes and pass; a 16th does
        // not fit in the box.
        Type(Edit(1004), QString(16, QChar(u'漢')));
        QCOMPARE(Edit(1004)->text(), QString(15, QChar(u'漢')));
        Type(Edit(1002), dir.path() + "/missing");
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(boxes.shown.back().first, FormatString(10039, (dir.path() + "/missing").toStdString()));
        QVERIFY(boxes.shown.back().second == MessageIcon::Exclamation);

        Type(Edit(1002), src);
        Edit(1015)->clear();
        QTest::mouseClick(Button(1), Qt::LeftButton);
        QCOMPARE(QString::fromStdString(boxes.shown.back().first), S(10077));
        QCOMPARE(int(boxes.shown.size()), 3);
        QVERIFY(!dialog->IsBuilding());
        QVERIFY(statuses.isEmpty());
    }

    void takeFolderAndKindChange() {
        // Before any folder was taken a new kind computes nothing.
        QComboBox* kinds = Combo();
        kinds->setFocus();
        QTest::keyClick(kinds, Qt::Key_Down);
        QCOMPARE(kinds->currentIndex(), 1);
        QVERIFY(statuses.isEmpty());
        QTest::keyClick(kinds, Qt::Key_Up);

        const QString holiday = dir.path() + "/take/Holiday.2010";
        WriteFile(holiday + "/photo.jpg", QByteArray(3000, 'p'));
        SetMtime(holiday, 1281847530);  // 2010-08-15 13:45:30 JST
        Drop(dialog.get(), holiday);
        QCOMPARE(Edit(1002)->text(), holiday);
        QCOMPARE(Edit(1004)->text(), QStringLiteral("Holiday"));
        QCOMPARE(dialog->findChild<QDateEdit*>("date1006")->date(), QDate(2010, 8, 15));
        QCOMPARE(dialog->findChild<QTimeEdit*>("time1007")->time(), QTime(13, 45, 30));
        QCOMPARE(statuses.size(), 2);
        QCOMPARE(statuses[0], S(10051));
        QVERIFY(statuses[1].startsWith(QStringLiteral("作成されるイメージファイルの大きさ : ")));
        QCOMPARE(Label(1001)->text(), statuses[1]);
        QCOMPARE(Edit(1015)->text().toStdString(), dialog->m_strImagePath);  // not changed by a folder

        // Afterwards every change of kind recomputes: UDF alone is smaller.
        kinds->setFocus();
        QTest::keyClick(kinds, Qt::Key_Down);
        QTest::keyClick(kinds, Qt::Key_Down);
        QCOMPARE(kinds->currentIndex(), 2);
        QCOMPARE(statuses.size(), 6);
        QVERIFY(statuses[5] != statuses[1]);

        const QString longName = dir.path() + "/take/ABCDEFGHIJKLMNOPQRST";
        QDir().mkpath(longName);
        Drop(dialog.get(), longName);
        QCOMPARE(Edit(1004)->text(), QStringLiteral("ABCDEFGHIJKLMNO"));

        // A path that is not there changes nothing, silently.
        const int before = statuses.size();
        Drop(dialog.get(), dir.path() + "/take/gone");
        QCOMPARE(Edit(1004)->text(), QStringLiteral("ABCDEFGHIJKLMNO"));
        QCOMPARE(statuses.size(), before);
        QVERIFY(boxes.shown.empty());
    }

    void creationDateWithVolumeInfo() {
        auto* date = dialog->findChild<QDateEdit*>("date1006");
        auto* time = dialog->findChild<QTimeEdit*>("time1007");
        date->setDate(QDate(2020, 1, 2));
        time->setTime(QTime(3, 4, 5));

        // The window shows the main window's date and hands a set one back.
        QStringList shownRow;
        OpenVolumeInfo([&](VolumeInfoDialog* v) {
            for (int id = 1129; id <= 1134; ++id) shownRow << v->Edit(id)->text();
            const char* row[] = {"2011", "12", "13", "14", "15", "16"};
            for (int i = 0; i < 6; ++i) v->Edit(1129 + i)->setText(row[i]);
        });
        QCOMPARE(shownRow, QStringList({"2020", "1", "2", "3", "4", "5"}));
        QCOMPARE(date->date(), QDate(2011, 12, 13));
        QCOMPARE(time->time(), QTime(14, 15, 16));

        // An all-zero creation date leaves the pickers as they are.
        OpenVolumeInfo([](VolumeInfoDialog* v) {
            for (int id = 1129; id <= 1134; ++id) v->Edit(id)->setText("0");
        });
        QVERIFY(IsDateUnset(TheVolumeInfo().Creation));
        QCOMPARE(date->date(), QDate(2011, 12, 13));
        QCOMPARE(time->time(), QTime(14, 15, 16));
        QVERIFY(boxes.shown.empty());
    }

private:
    QPushButton* Button(int id) { return dialog->findChild<QPushButton*>(QStringLiteral("button%1").arg(id)); }
    QLineEdit* Edit(int id) { return dialog->findChild<QLineEdit*>(QStringLiteral("edit%1").arg(id)); }
    QLabel* Label(int id) { return dialog->findChild<QLabel*>(QStringLiteral("static%1").arg(id)); }
    QComboBox* Combo() { return dialog->findChild<QComboBox*>("combo1009"); }

    // Starts a build with the fields as they are and waits for its end; false
    // when it did not end in time.
    bool BuildAndWait() {
        QTest::mouseClick(Button(1), Qt::LeftButton);
        if (!dialog->IsBuilding()) return false;
        QDeadlineTimer deadline(kBuildTimeoutMs);
        while (dialog->IsBuilding() && !deadline.hasExpired()) QTest::qWait(10);
        return !dialog->IsBuilding();
    }

    // Opens the volume information window from the menu, lets `fill` edit
    // it, then presses OK.
    void OpenVolumeInfo(const std::function<void(VolumeInfoDialog*)>& fill) {
        bool pressed = false;
        QTimer::singleShot(0, this, [&] {
            auto* v = dialog->findChild<VolumeInfoDialog*>();
            if (!v) return;
            fill(v);
            v->findChild<QPushButton*>("button1")->click();
            pressed = true;
        });
        dialog->findChild<QAction*>("action32772")->trigger();
        QVERIFY(pressed);
    }

    std::unique_ptr<Platform> platform;
    QTemporaryDir dir;
    RecordedBoxes boxes;
    QStringList statuses;
    std::unique_ptr<MainDialog> dialog;
};

QTEST_MAIN(MainDialogTest)
#include "MainDialog_test.moc"
