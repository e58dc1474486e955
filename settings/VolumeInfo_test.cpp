#include "settings/VolumeInfo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "TempDir.h"
#include "tree/Text.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Bytes(const Cs0String& s) {
    return s.Data() ? std::vector<uint8_t>(s.Data(), s.Data() + s.Length()) : std::vector<uint8_t>();
}

VolumeDate Date(int y, int mo, int d, int h, int mi, int s) {
    return VolumeDate{uint16_t(y), uint16_t(mo), 0, uint16_t(d), uint16_t(h), uint16_t(mi), uint16_t(s), 0};
}

// No file gives the defaults. A file from elsewhere: code page 932 text,
// CRLF lines, other case in section and keys, blanks around "=", a comment,
// quotes, integers with a sign, junk, out of range and too long for any
// integer type (their low 16 bits).
TEST(VolumeInfoFile, ReadsMissingAndLooseWindowsFiles) {
    TempDir t;
    VolumeInfo info;
    info.OS = "stale", info.VolSetSize = 7, info.Creation.year = 1999, info.Label = "KEEP";
    std::vector<std::string> refused;
    LoadVolumeInfo(info, t / "absent.INI", nullptr, &refused);
    // Label is no persisted field: kept.
    EXPECT_EQ(std::tuple(refused.size(), info.OS + info.ImplID, info.VolSetSize, info.VolNumber, IsDateUnset(info.Creation), info.Label),
              std::tuple(0u, "", 1, 1, true, "KEEP"));
    LoadVolumeInfo(info, t.Write("a.INI", "; written elsewhere\r\n[volumeinfo]\r\n  iso_pvd_publisher =  " +
                                              Utf8ToCp932("出版社") + "  \r\nISO_PVD_OS=\" padded \"\r\n"
                                              "ISO_PVD_VolSetSize=12abc\r\nISO_PVD_VolNumber=x3\r\n"
                                              "ISO_PVD_Modification_Month=-1\r\nISO_PVD_Modification_Day=65537\r\n"
                                              "ISO_PVD_Effective_Year=+7\r\nISO_PVD_Effective_Day=- 5\r\n"
                                              "ISO_PVD_Effective_Month=123456789012345678901234567890\r\n"
                                              "ISO_PVD_Expiration_Year=\r\nISO_PVD_Creation_Year=2012\r\n"), nullptr, &refused);
    // Numbers out of range or no numbers are not taken: the defaults stand,
    // and each is named. Only a year is a date that is not unset.
    EXPECT_EQ(std::tuple(info.Publisher, info.OS, info.VolSetSize, info.VolNumber, IsDateUnset(info.Modification),
                         IsDateUnset(info.Expiration), IsDateUnset(info.Effective), info.Creation, IsDateUnset(info.Creation)),
              std::tuple("出版社", " padded ", 1, 1, true, true, true, Date(2012, 0, 0, 0, 0, 0), false));
    std::string all;
    for (const std::string& r : refused) all += r + "\n";
    EXPECT_EQ(all, "設定ファイルの ISO_PVD_VolSetSize=12abc は範囲外のため使わず、既定値を使います\n"
                   "設定ファイルの ISO_PVD_VolNumber=x3 は範囲外のため使わず、既定値を使います\n"
                   "設定ファイルの ISO_PVD_Modification_*=0--1-65537 0:0:0 は範囲外のため使わず、既定値を使います\n"
                   "設定ファイルの ISO_PVD_Effective_*=+7-123456789012345678901234567890-- 5 0:0:0 は範囲外のため使わず、既定値を使います\n");
    // The cases of issue 17: each refused, nothing of them reaches an image.
    const struct { const char* line; const char* key; } cases[] = {
        {"ISO_PVD_VolNumber=70000", "ISO_PVD_VolNumber=70000"},
        {"ISO_PVD_VolSetSize=0", "ISO_PVD_VolSetSize=0"},
        {"ISO_PVD_VolSetSize=2\nISO_PVD_VolNumber=3", "ISO_PVD_VolNumber=3"},
        {"ISO_PVD_Effective_Year=2023\nISO_PVD_Effective_Month=2\nISO_PVD_Effective_Day=29", "ISO_PVD_Effective_*=2023-2-29 0:0:0"},
        {"ISO_PVD_Effective_Year=2024\nISO_PVD_Effective_Month=2\nISO_PVD_Effective_Day=30", "ISO_PVD_Effective_*=2024-2-30 0:0:0"},
        {"ISO_PVD_Expiration_Year=-5", "ISO_PVD_Expiration_*=-5-0-0 0:0:0"},
        {"ISO_PVD_Creation_Year=2024\nISO_PVD_Creation_Month=1\nISO_PVD_Creation_Day=1\nISO_PVD_Creation_Second=60",
         "ISO_PVD_Creation_*=2024-1-1 0:0:60"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        VolumeInfo v;
        refused.clear();
        LoadVolumeInfo(v, t.Write("c.INI", std::string("[VolumeInfo]\n") + c.line + "\n"), nullptr, &refused);
        ASSERT_EQ(refused.size(), 1u);
        EXPECT_NE(refused[0].find(std::string(" ") + c.key + " "), std::string::npos) << refused[0];
        EXPECT_TRUE(v.VolNumber >= 1 && v.VolNumber <= v.VolSetSize);
        for (const VolumeDate* d : {&v.Creation, &v.Modification, &v.Expiration, &v.Effective}) EXPECT_TRUE(IsValidVolumeDate(*d));
    }
}

// Every persisted field comes back as saved (blanks and quotes at either end,
// a lone quote), through a link that stays a link to a file that keeps its
// permissions; a code page 932 file is rewritten as UTF-8 with what else it
// holds, new keys in their section; a second save changes nothing; a missing
// folder is made, and a line break becomes a blank.
TEST(VolumeInfoFile, SaveAndLoadRoundTrip) {
    TempDir t;
    const std::string real = t.Write("real.INI", "[VolumeInfo]\nCustom=1\n; note\n\n[Other]\nname=" + Utf8ToCp932("日本語") + "\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, t / "link.INI");
    VolumeInfo info;
    info.OS = "Linux", info.VolSetID = "セット", info.VolSetSize = 65535, info.VolNumber = 2;
    info.Publisher = " leading and trailing ", info.Prepare = "\"quoted\"", info.Application = "\"a=b;c";
    info.Copyright = "COPY.TXT ", info.Biblographic = "\"", info.ImplID = "実装";
    info.Creation = Date(2024, 2, 29, 23, 59, 59), info.Modification = Date(1, 2, 3, 4, 5, 6);
    info.Effective = Date(9999, 12, 31, 0, 0, 0);
    info.Abstract = std::string(4094, 'x') + "あ";  // 3 bytes that cross the 4095 boundary
    ASSERT_TRUE(SaveVolumeInfo(info, t / "link.INI"));
    EXPECT_TRUE(fs::is_symlink(t / "link.INI"));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    const std::string text = ReadAll(real);
    EXPECT_EQ(text.rfind("[VolumeInfo]\nCustom=1\n; note\nISO_PVD_OS=Linux\n", 0), 0u) << text;
    EXPECT_TRUE(text.ends_with("UDF_PVD_ImplID=実装\n\n[Other]\nname=日本語\n")) << text;
    EXPECT_NE(text.find("ISO_PVD_VolSetSize=65535\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(real + ".tmp"));
    VolumeInfo back;
    LoadVolumeInfo(back, t / "link.INI");
    EXPECT_EQ(back.Abstract, std::string(4094, 'x'));
    back.Abstract = info.Abstract;
    auto persisted = [](const VolumeInfo& v) {
        return std::tie(v.OS, v.VolSetID, v.VolSetSize, v.VolNumber, v.Publisher, v.Prepare, v.Application,
                        v.Copyright, v.Biblographic, v.Creation, v.Modification, v.Expiration, v.Effective, v.ImplID);
    };
    EXPECT_TRUE(persisted(back) == persisted(info));
    ASSERT_TRUE(SaveVolumeInfo(back, real));
    EXPECT_EQ(ReadAll(real), text);
    info.OS = "two\nlines";
    ASSERT_TRUE(SaveVolumeInfo(info, t / "a/b/parumero.INI"));
    LoadVolumeInfo(back, t / "a/b/parumero.INI");
    EXPECT_EQ(back.OS, "two lines");
}

// The label names the UDF volume and, without an identifier of its own, the
// volume set; the date and the time join into the creation date unless the
// date is unset.
TEST(ApplyBuildInputs, LabelVolumeSetAndCreation) {
    VolumeInfo info;
    info.Creation = Date(2001, 1, 2, 3, 4, 5);
    ApplyBuildInputs(info, "DISC", Date(0, 0, 0, 0, 0, 0), Date(0, 0, 0, 13, 14, 15));
    EXPECT_EQ(Bytes(info.UdfVolSet), Bytes(Cs0String("DISC")));
    EXPECT_EQ(info.Creation, Date(2001, 1, 2, 3, 4, 5));
    info.VolSetID = "セット";
    ApplyBuildInputs(info, "ラベル", Date(2020, 5, 6, 7, 8, 9), Date(1, 1, 1, 10, 11, 12));
    EXPECT_EQ(std::tuple(Bytes(info.UdfLabel), Bytes(info.UdfVolSet), info.Creation),
              std::tuple(Bytes(Cs0String("ラベル")), Bytes(Cs0String("セット")), Date(2020, 5, 6, 10, 11, 12)));
}

}  // namespace
}  // namespace pm
