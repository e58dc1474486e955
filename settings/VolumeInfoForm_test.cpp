#include "settings/VolumeInfoForm.h"

#include <gtest/gtest.h>

namespace pm {
namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

VolumeDate Ymd(int y, int m, int d) { return VolumeDate{uint16_t(y), uint16_t(m), 0, uint16_t(d), 0, 0, 0, 0}; }
VolumeDate Hms(int h, int m, int s) { return VolumeDate{0, 0, 0, 0, uint16_t(h), uint16_t(m), uint16_t(s), 0}; }

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
    EXPECT_EQ(form.Field(kFieldCreationYear) + form.Field(kFieldCreationYear + 3) + form.Field(kFieldCreationYear + 5), "2023911");
    info.Creation = Ymd(2012, 0, 0);
    form.Load(info, Ymd(2023, 7, 8), Hms(9, 10, 11));
    EXPECT_EQ(form.Field(kFieldCreationYear) + form.Field(kFieldCreationYear + 1) + form.Field(kFieldCreationYear + 3), "201200");
}

// Store copies what Validate read, and nothing after a failed check.
TEST(VolumeInfoForm, StoreCopiesWhatValidateRead) {
    VolumeInfo info;
    VolumeInfoForm form;
    form.Load(info, Ymd(0, 0, 0), Hms(0, 0, 0));
    form.Field(kFieldOS) = "OS";
    form.Field(kFieldVolNumber) = "5";
    form.Field(kFieldCreationYear + 1) = "13";
    EXPECT_FALSE(form.Validate().ok);
    form.Store(info);
    EXPECT_EQ(info.OS + std::to_string(info.VolNumber), "1");
    EXPECT_TRUE(IsDateUnset(info.Creation));

    form.Field(kFieldCreationYear + 1) = "0";
    form.Field(kFieldImplID) = "impl";
    form.Field(kFieldVolSetSize) = " -1 ";
    form.Field(kFieldVolNumber) = "+2";
    form.Field(kFieldEffectiveYear) = "-5";  // the year has no range
    form.Field(kFieldEffectiveYear + 5) = "60";
    form.Field(kFieldCreationYear + 4) = "60";
    ASSERT_TRUE(form.Validate().ok);
    info.Effective.dayOfWeek = 4;  // not a used member: left alone
    form.Store(info);
    EXPECT_EQ(info.OS + info.ImplID, "OSimpl");
    EXPECT_EQ(info.VolSetSize, 65535);
    EXPECT_EQ(info.VolNumber, 2);
    EXPECT_EQ(info.Effective, (VolumeDate{65531, 0, 4, 0, 0, 0, 60, 0}));
    EXPECT_EQ(form.Creation().minute, 60);
}

TEST(VolumeInfoForm, AcceptsValuesAtTheirLimits) {
    VolumeInfoForm form;
    form.Field(kFieldVolSetID) = Repeat("a", 56);
    form.Field(kFieldPublisher) = Repeat("漢", 64);  // characters, not code page 932 bytes
    form.Field(kFieldPrepare) = Repeat("b", 64);
    form.Field(kFieldApplication) = Repeat("漢", 64);
    form.Field(kFieldImplID) = Repeat("漢", 11);     // 22 bytes
    form.Field(kFieldVolSetSize) = "32767";
    form.Field(kFieldVolNumber) = "-32768";
    form.Field(kFieldModificationYear + 1) = "12";
    form.Field(kFieldExpirationYear + 3) = "23";
    form.Field(kFieldEffectiveYear + 5) = "60";
    EXPECT_TRUE(form.Validate().ok);
}

TEST(VolumeInfoForm, RefusesEachBadValueAtItsField) {
    const std::string chars = " 文字以内で入力してください。", integer = "整数を入力してください。";
    const struct { int field; std::string value, message; MessageIcon icon; } cases[] = {
        {kFieldImplID, Repeat("漢", 12), "22" + chars, MessageIcon::Exclamation},
        {kFieldVolSetID, Repeat("c", 57), "56" + chars, MessageIcon::Exclamation},
        {kFieldVolSetID, Repeat("a", 55) + "\xF0\x9F\x98\x80", "56" + chars, MessageIcon::Exclamation},  // two units
        {kFieldPublisher, Repeat("c", 65), "64" + chars, MessageIcon::Exclamation},
        {kFieldPrepare, Repeat("c", 65), "64" + chars, MessageIcon::Exclamation},
        {kFieldApplication, Repeat("c", 65), "64" + chars, MessageIcon::Exclamation},
        {kFieldModificationYear + 1, "13", "0 から 12 までの整数を入力してください。", MessageIcon::Exclamation},
        {kFieldModificationYear + 1, "-1", "0 から 12 までの整数を入力してください。", MessageIcon::Exclamation},
        {kFieldExpirationYear + 3, "24", "0 から 23 までの整数を入力してください。", MessageIcon::Exclamation},
        {kFieldEffectiveYear + 5, "61", "0 から 60 までの整数を入力してください。", MessageIcon::Exclamation},
    };
    for (const auto& c : cases) {
        VolumeInfoForm form;
        form.Field(c.field) = c.value;
        FormCheck check = form.Validate();
        EXPECT_FALSE(check.ok) << c.value;
        EXPECT_EQ(check.fieldId, c.field) << c.value;
        EXPECT_EQ(check.messageText, c.message);
        EXPECT_EQ(check.icon, c.icon);
    }
    for (std::string bad : {"", "x", "1.5", "32768", "-32769", "99999999999999999999", "1 2"}) {
        VolumeInfoForm form;
        form.Field(kFieldVolSetSize) = bad;
        FormCheck check = form.Validate();
        EXPECT_TRUE(!check.ok && check.fieldId == kFieldVolSetSize && check.icon == MessageIcon::None) << bad;
        EXPECT_EQ(check.messageText, integer);
    }
}

// Checks run in the dialog's order: the UDF name first, the counts before
// the dates, the dates before the character limits.
TEST(VolumeInfoForm, ChecksInTheDialogsOrder) {
    VolumeInfoForm form;
    form.Field(kFieldPublisher) = Repeat("p", 65);
    form.Field(kFieldCreationYear + 2) = "32";
    form.Field(kFieldVolNumber) = "n";
    form.Field(kFieldVolSetSize) = "s";
    form.Field(kFieldImplID) = Repeat("i", 23);
    const std::pair<int, const char*> order[] = {
        {kFieldImplID, ""}, {kFieldVolNumber, "1"}, {kFieldVolSetSize, "1"}, {kFieldCreationYear + 2, "31"}, {kFieldPublisher, ""}};
    for (auto [field, fixed] : order) {
        EXPECT_EQ(form.Validate().fieldId, field);
        form.Field(field) = fixed;
    }
    EXPECT_TRUE(form.Validate().ok);
}

}  // namespace
}  // namespace pm
