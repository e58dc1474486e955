#include "settings/VolumeInfoForm.h"

#include <gtest/gtest.h>

namespace pm {
namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

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

TEST(VolumeInfoForm, LoadShowsRecordAndCreationSource) {
    VolumeInfo info;
    info.Publisher = "出版";
    info.VolSetSize = 65535;
    info.Modification = Ymd(2010, 3, 4);
    VolumeInfoForm form;
    form.Load(info, Ymd(2023, 7, 8), Hms(9, 10, 11));
    EXPECT_EQ(form.Field(kFieldPublisher), "出版");
    EXPECT_EQ(form.Field(kFieldVolSetSize), "-1");  // shown as a signed number
    EXPECT_EQ(form.Field(kFieldModificationYear + 2), "4");
    // Unset record date: the main window's date and time.
    EXPECT_EQ(form.Field(kFieldCreationYear), "2023");
    EXPECT_EQ(form.Field(kFieldCreationYear + 3), "9");
    EXPECT_EQ(form.Field(kFieldCreationYear + 5), "11");

    info.Creation = Ymd(2012, 0, 0);
    form.Load(info, Ymd(2023, 7, 8), Hms(9, 10, 11));
    EXPECT_EQ(form.Field(kFieldCreationYear), "2012");
    EXPECT_EQ(form.Field(kFieldCreationYear + 1), "0");
    EXPECT_EQ(form.Field(kFieldCreationYear + 3), "0");
}

TEST(VolumeInfoForm, StoreCopiesWhatValidateRead) {
    VolumeInfo info;
    VolumeInfoForm form;
    form.Load(info, Ymd(0, 0, 0), Hms(0, 0, 0));
    form.Field(kFieldOS) = "OS";
    form.Field(kFieldImplID) = "impl";
    form.Field(kFieldVolSetSize) = " -1 ";
    form.Field(kFieldVolNumber) = "+2";
    form.Field(kFieldEffectiveYear) = "-5";  // the year has no range
    form.Field(kFieldEffectiveYear + 5) = "60";
    form.Field(kFieldCreationYear + 4) = "60";
    ASSERT_TRUE(form.Validate().ok);
    info.Effective.dayOfWeek = 4;  // not a used member: left alone
    form.Store(info);
    EXPECT_EQ(info.OS, "OS");
    EXPECT_EQ(info.ImplID, "impl");
    EXPECT_EQ(info.VolSetSize, 65535);
    EXPECT_EQ(info.VolNumber, 2);
    EXPECT_EQ(info.Effective.year, 65531);
    EXPECT_EQ(info.Effective.second, 60);
    EXPECT_EQ(info.Effective.dayOfWeek, 4);
    EXPECT_EQ(form.Creation().minute, 60);
    EXPECT_FALSE(IsDateUnset(form.Creation()));
}

TEST(VolumeInfoForm, LengthLimits) {
    VolumeInfoForm form;
    const std::string kanji = "漢";
    form.Field(kFieldVolSetID) = Repeat("a", 56);
    form.Field(kFieldPublisher) = Repeat(kanji, 64);  // 128 bytes in code page 932
    form.Field(kFieldPrepare) = Repeat("b", 64);
    form.Field(kFieldApplication) = Repeat(kanji, 64);
    form.Field(kFieldImplID) = Repeat(kanji, 11);  // 22 bytes
    EXPECT_TRUE(form.Validate().ok);

    form.Field(kFieldImplID) = Repeat(kanji, 12);
    FormCheck c = form.Validate();
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.messageText, "22 文字以内で入力してください。");
    EXPECT_EQ(c.icon, MessageIcon::Exclamation);
    EXPECT_EQ(c.fieldId, kFieldImplID);
    form.Field(kFieldImplID) = "";

    struct {
        int id;
        int limit;
    } limits[] = {{kFieldVolSetID, 56}, {kFieldPublisher, 64}, {kFieldPrepare, 64}, {kFieldApplication, 64}};
    for (auto l : limits) {
        std::string keep = form.Field(l.id);
        form.Field(l.id) = Repeat("c", l.limit + 1);
        c = form.Validate();
        EXPECT_FALSE(c.ok);
        EXPECT_EQ(c.fieldId, l.id);
        EXPECT_EQ(c.messageText, std::to_string(l.limit) + " 文字以内で入力してください。");
        EXPECT_EQ(c.icon, MessageIcon::Exclamation);
        form.Field(l.id) = keep;
    }
    // A character outside the basic plane counts as two units.
    form.Field(kFieldVolSetID) = Repeat("a", 55) + "\xF0\x9F\x98\x80";
    EXPECT_EQ(form.Validate().fieldId, kFieldVolSetID);
}

TEST(VolumeInfoForm, IntegersAndDateRanges) {
    VolumeInfoForm form;
    for (std::string bad : {"", "x", "1.5", "32768", "-32769", "99999999999999999999", "1 2"}) {
        form.Field(kFieldVolSetSize) = bad;
        FormCheck c = form.Validate();
        EXPECT_FALSE(c.ok) << bad;
        EXPECT_EQ(c.messageText, "整数を入力してください。");
        EXPECT_EQ(c.icon, MessageIcon::None);
        EXPECT_EQ(c.fieldId, kFieldVolSetSize);
    }
    form.Field(kFieldVolSetSize) = "32767";
    form.Field(kFieldVolNumber) = "-32768";
    EXPECT_TRUE(form.Validate().ok);

    for (std::string month : {"13", "-1"}) {
        form.Field(kFieldModificationYear + 1) = month;
        FormCheck c = form.Validate();
        EXPECT_FALSE(c.ok);
        EXPECT_EQ(c.messageText, "0 から 12 までの整数を入力してください。");
        EXPECT_EQ(c.icon, MessageIcon::Exclamation);
        EXPECT_EQ(c.fieldId, kFieldModificationYear + 1);
    }
    form.Field(kFieldModificationYear + 1) = "12";
    form.Field(kFieldExpirationYear + 3) = "24";
    EXPECT_EQ(form.Validate().messageText, "0 から 23 までの整数を入力してください。");
    form.Field(kFieldExpirationYear + 3) = "23";
    form.Field(kFieldEffectiveYear + 5) = "61";
    EXPECT_EQ(form.Validate().fieldId, kFieldEffectiveYear + 5);
    form.Field(kFieldEffectiveYear + 5) = "60";
    EXPECT_TRUE(form.Validate().ok);

    // Checks run in the dialog's order: the UDF name first, the counts before
    // the dates, the dates before the character limits.
    form.Field(kFieldPublisher) = Repeat("p", 65);
    form.Field(kFieldCreationYear + 2) = "32";
    form.Field(kFieldVolNumber) = "n";
    form.Field(kFieldVolSetSize) = "s";
    form.Field(kFieldImplID) = Repeat("i", 23);
    EXPECT_EQ(form.Validate().fieldId, kFieldImplID);
    form.Field(kFieldImplID) = "";
    EXPECT_EQ(form.Validate().fieldId, kFieldVolNumber);
    form.Field(kFieldVolNumber) = "1";
    EXPECT_EQ(form.Validate().fieldId, kFieldVolSetSize);
    form.Field(kFieldVolSetSize) = "1";
    EXPECT_EQ(form.Validate().fieldId, kFieldCreationYear + 2);
    form.Field(kFieldCreationYear + 2) = "31";
    EXPECT_EQ(form.Validate().fieldId, kFieldPublisher);
}

TEST(VolumeInfoForm, FailedCheckCopiesNothing) {
    VolumeInfo info;
    VolumeInfoForm form;
    form.Load(info, Ymd(0, 0, 0), Hms(0, 0, 0));
    form.Field(kFieldOS) = "new";
    form.Field(kFieldVolNumber) = "5";
    form.Field(kFieldCreationYear + 1) = "13";
    EXPECT_FALSE(form.Validate().ok);
    form.Store(info);
    EXPECT_EQ(info.OS, "");
    EXPECT_EQ(info.VolNumber, 1);
    EXPECT_TRUE(IsDateUnset(info.Creation));
}

}  // namespace
}  // namespace pm
