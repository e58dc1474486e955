#include "settings/VolumeInfoForm.h"

#include <gtest/gtest.h>

#include <tuple>

namespace pm {
namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

// Checks run in the dialog's order (the UDF name, the counts, the dates, the
// character limits); Store copies only what the last successful check read,
// and Load shows the counts as signed numbers.
TEST(VolumeInfoForm, ChecksInOrderAndStoresWhatPassed) {
    VolumeInfo info;
    VolumeInfoForm form;
    form.Field(kFieldOS) = "OS";
    form.Field(kFieldPublisher) = Repeat("p", 65);
    form.Field(kFieldCreationYear + 2) = "32";
    form.Field(kFieldVolNumber) = "n";
    form.Field(kFieldVolSetSize) = "s";
    form.Field(kFieldImplID) = Repeat("i", 23);
    const std::pair<int, const char*> order[] = {
        {kFieldImplID, "impl"}, {kFieldVolNumber, "+2"}, {kFieldVolSetSize, " -1 "}, {kFieldCreationYear + 2, "31"}, {kFieldPublisher, ""}};
    for (auto [field, fixed] : order) {
        EXPECT_EQ(form.Validate().fieldId, field);
        form.Store(info);
        // Nothing a failed check read: no text, the count and the date as they were.
        EXPECT_EQ(info.OS + std::to_string(info.VolNumber) + std::to_string(info.Creation.day), "10") << field;
        form.Field(field) = fixed;
    }
    form.Field(kFieldEffectiveYear) = "-5";  // the year has no range
    form.Field(kFieldEffectiveYear + 5) = "60";
    form.Field(kFieldCreationYear + 4) = "60";
    ASSERT_TRUE(form.Validate().ok);
    info.Effective.dayOfWeek = 4;  // not a used member: left alone
    form.Store(info);
    EXPECT_EQ(std::tuple(info.OS + info.ImplID, info.VolSetSize, info.VolNumber), std::tuple("OSimpl", 65535, 2));
    EXPECT_EQ(info.Effective, (VolumeDate{65531, 0, 4, 0, 0, 0, 60, 0}));
    EXPECT_EQ(form.Creation(), (VolumeDate{0, 0, 0, 31, 0, 60, 0, 0}));
    form.Load(info, {}, {});
    EXPECT_EQ(form.Field(kFieldVolSetSize) + form.Field(kFieldEffectiveYear), "-1-5");
}

// Each value alone in a fresh form: accepted (no message), or refused at its
// box with its message and the exclamation icon; texts count characters
// (UTF-16 units), the UDF name code page 932 bytes.
TEST(VolumeInfoForm, EachValueAtItsLimit) {
    const std::string chars = " 文字以内で入力してください。";
    const struct { int field; std::string value, message; } cases[] = {
        {kFieldImplID, Repeat("漢", 11), ""},
        {kFieldImplID, Repeat("漢", 12), "22" + chars},
        {kFieldVolSetID, Repeat("a", 56), ""},
        {kFieldVolSetID, Repeat("c", 57), "56" + chars},
        {kFieldVolSetID, Repeat("a", 55) + "\xF0\x9F\x98\x80", "56" + chars},  // two units
        {kFieldPublisher, Repeat("漢", 64), ""},
        {kFieldPublisher, Repeat("c", 65), "64" + chars},
        {kFieldPrepare, Repeat("c", 65), "64" + chars},
        {kFieldApplication, Repeat("漢", 64), ""},
        {kFieldApplication, Repeat("c", 65), "64" + chars},
        {kFieldVolSetSize, "32767", ""},
        {kFieldVolNumber, "-32768", ""},
        {kFieldModificationYear + 1, "12", ""},
        {kFieldModificationYear + 1, "13", "0 から 12 までの整数を入力してください。"},
        {kFieldModificationYear + 1, "-1", "0 から 12 までの整数を入力してください。"},
        {kFieldExpirationYear + 3, "23", ""},
        {kFieldExpirationYear + 3, "24", "0 から 23 までの整数を入力してください。"},
        {kFieldEffectiveYear + 5, "60", ""},
        {kFieldEffectiveYear + 5, "61", "0 から 60 までの整数を入力してください。"},
    };
    auto check = [](int field, const std::string& value) {
        VolumeInfoForm form;
        form.Field(field) = value;
        const FormCheck c = form.Validate();
        return std::tuple(c.ok, c.fieldId, c.messageText, c.icon);
    };
    for (const auto& c : cases)
        EXPECT_EQ(check(c.field, c.value), std::tuple(c.message.empty(), c.message.empty() ? 0 : c.field, c.message,
                                                      c.message.empty() ? MessageIcon::None : MessageIcon::Exclamation)) << c.value;
    // What is no 16-bit integer: no icon.
    for (std::string bad : {"", "x", "1.5", "32768", "-32769", "99999999999999999999", "1 2"})
        EXPECT_EQ(check(kFieldVolSetSize, bad), std::tuple(false, kFieldVolSetSize, std::string("整数を入力してください。"), MessageIcon::None)) << bad;
}

}  // namespace
}  // namespace pm
