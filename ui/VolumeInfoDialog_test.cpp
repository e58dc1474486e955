// The volume information dialog driven as a person would: typing into its
// boxes and pressing its buttons, with the message boxes answered by a fake.
#include "ui/VolumeInfoDialog.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <vector>

#include "ui/AboutDialog.h"

using namespace pm;

namespace {

struct RecordedBoxes : MessageBoxes {
    std::vector<std::pair<std::string, MessageIcon>> shown;
    void Show(const std::string& text, MessageIcon icon) override { shown.emplace_back(text, icon); }
};

VolumeDate Ymd(int y, int m, int d) {
    VolumeDate v;
    v.year = uint16_t(y), v.month = uint16_t(m), v.day = uint16_t(d);
    return v;
}
VolumeDate Hms(int h, int m, int s) {
    VolumeDate v;
    v.hour = uint16_t(h), v.minute = uint16_t(m), v.second = uint16_t(s);
    return v;
}

QPushButton* Button(QDialog& d, int id) {
    return d.findChild<QPushButton*>(QStringLiteral("button%1").arg(id));
}

// Key presses one character at a time; keyClicks knows only ASCII keys.
void Keys(QWidget* w, const QString& text) {
    for (QChar c : text) QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

// Replaces the box's text by typing over it.
void Type(QLineEdit* e, const QString& text) {
    e->selectAll();
    Keys(e, text);
}

}  // namespace

class VolumeInfoDialogTest : public QObject {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(dir.isValid());
        settings = (dir.path() + "/parumero.INI").toStdString();
        QFile::remove(QString::fromStdString(settings));
        boxes.shown.clear();
    }

    // The texts of both windows once, and the default buttons.
    void controlsTextsAndOrder() {
        VolumeInfo info;
        VolumeInfoDialog dlg(info, Ymd(2024, 1, 2), Hms(3, 4, 5), settings, &boxes);
        AboutDialog about;
        QCOMPARE(QStringList({dlg.windowTitle(), Button(dlg, 1)->text(), Button(dlg, 4)->text(), Button(dlg, 2)->text(),
                              about.windowTitle()}),
                 QStringList({"ボリューム情報の設定", "OK", "標準に設定(&F)", "ｷｬﾝｾﾙ", "ぱるめろのﾊﾞｰｼﾞｮﾝ情報"}));
        QVERIFY(Button(dlg, 2)->isDefault() && !Button(dlg, 1)->isDefault() && Button(about, 1)->isDefault());

        // Unset record date: the creation row shows the main window's date.
        QCOMPARE(dlg.Edit(1129)->text() + dlg.Edit(1134)->text(), QStringLiteral("20245"));
    }

    void byteLimitsWhileTyping() {
        VolumeInfo info;
        VolumeInfoDialog dlg(info, {}, {}, settings, &boxes);
        Keys(dlg.Edit(1128), QString(30, QChar('i')));
        QCOMPARE(dlg.Edit(1128)->text().size(), 22);
        Type(dlg.Edit(1128), QStringLiteral("漢字漢字漢字漢字漢字漢字漢字"));
        QCOMPARE(dlg.Edit(1128)->text().size(), 11);  // 22 bytes
        Keys(dlg.Edit(1113), QString(70, QChar(u'漢')));
        QCOMPARE(dlg.Edit(1113)->text().size(), 64);  // 128 bytes
        Keys(dlg.Edit(1109), QString(300, QChar('o')));
        QCOMPARE(dlg.Edit(1109)->text().size(), 300);  // no limit
    }

    void okCopiesWithoutSaving() {
        VolumeInfo info;
        VolumeInfoDialog dlg(info, Ymd(2024, 1, 2), Hms(3, 4, 5), settings, &boxes);
        dlg.show();
        Type(dlg.Edit(1113), QStringLiteral("出版社"));
        Type(dlg.Edit(1111), QStringLiteral("2"));
        Type(dlg.Edit(1133), QStringLiteral("60"));
        QTest::mouseClick(Button(dlg, 1), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(boxes.shown.empty());
        QCOMPARE(info.Publisher, std::string("出版社"));
        QCOMPARE((std::vector<int>{info.VolNumber, info.Creation.year, info.Creation.minute, dlg.Creation().second}),
                 (std::vector<int>{2, 2024, 60, 5}));
        QVERIFY(!QFile::exists(QString::fromStdString(settings)));
    }

    void refusalShowsMessageAndFocusesBox() {
        VolumeInfo info;
        info.Creation = Ymd(2012, 0, 0);
        VolumeInfoDialog dlg(info, Ymd(2024, 1, 2), Hms(3, 4, 5), settings, &boxes);
        dlg.show();
        QCOMPARE(dlg.Edit(1129)->text(), QStringLiteral("2012"));  // the record's date wins
        Type(dlg.Edit(1136), QStringLiteral("13"));
        Type(dlg.Edit(1110), QStringLiteral("x"));
        dlg.Edit(1109)->setFocus();
        QTest::mouseClick(Button(dlg, 1), Qt::LeftButton);
        QCOMPARE(int(boxes.shown.size()), 1);
        QCOMPARE(boxes.shown[0].first, std::string("整数を入力してください。"));
        QVERIFY(boxes.shown[0].second == MessageIcon::None);
        QCOMPARE(dlg.focusWidget(), dlg.Edit(1110));
        QCOMPARE(dlg.Edit(1110)->selectedText(), QStringLiteral("x"));
        QVERIFY(dlg.isVisible());

        Type(dlg.Edit(1110), QStringLiteral("3"));
        QTest::mouseClick(Button(dlg, 4), Qt::LeftButton);
        QCOMPARE(boxes.shown[1].first, std::string("0 から 12 までの整数を入力してください。"));
        QVERIFY(boxes.shown[1].second == MessageIcon::Exclamation);
        QCOMPARE(dlg.focusWidget(), dlg.Edit(1136));
        QCOMPARE(info.VolSetSize, uint16_t(1));  // nothing copied
        QVERIFY(!QFile::exists(QString::fromStdString(settings)));
    }

    void setDefaultsSavesAndCancelKeepsIt() {
        VolumeInfo info;
        VolumeInfoDialog dlg(info, Ymd(2024, 1, 2), Hms(3, 4, 5), settings, &boxes);
        dlg.show();
        Type(dlg.Edit(1109), QStringLiteral("Linux"));
        Type(dlg.Edit(1128), QStringLiteral("実装"));
        Type(dlg.Edit(1129), QStringLiteral("2030"));
        QTest::mouseClick(Button(dlg, 4), Qt::LeftButton);
        QVERIFY(dlg.isVisible());
        QCOMPARE(info.OS, std::string("Linux"));
        QCOMPARE(info.Creation.year, uint16_t(2030));

        Type(dlg.Edit(1109), QStringLiteral("changed"));
        QTest::mouseClick(Button(dlg, 2), Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(info.OS, std::string("Linux"));  // cancel keeps what was set
        VolumeInfo saved;
        LoadVolumeInfo(saved, settings);
        QCOMPARE(saved.OS + saved.ImplID, std::string("Linux実装"));
        QCOMPARE(saved.Creation.year, uint16_t(2030));
        QCOMPARE(saved.Creation.second, uint16_t(5));
    }

private:
    QTemporaryDir dir;
    std::string settings;
    RecordedBoxes boxes;
};

QTEST_MAIN(VolumeInfoDialogTest)
#include "VolumeInfoDialog_test.moc"
