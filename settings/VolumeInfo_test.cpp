#include "settings/VolumeInfo.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "tree/Text.h"

namespace pm {
namespace {

namespace fs = std::filesystem;

class VolumeInfoFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("pm_volinfo_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "parumero.INI").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Write(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string Read() {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
    std::string path_;
};

std::vector<uint8_t> Bytes(const Cs0String& s) {
    return s.Data() ? std::vector<uint8_t>(s.Data(), s.Data() + s.Length()) : std::vector<uint8_t>();
}

VolumeDate Date(int y, int mo, int d, int h, int mi, int s) {
    VolumeDate v;
    v.year = uint16_t(y), v.month = uint16_t(mo), v.day = uint16_t(d);
    v.hour = uint16_t(h), v.minute = uint16_t(mi), v.second = uint16_t(s);
    return v;
}

TEST_F(VolumeInfoFile, MissingFileGivesDefaults) {
    VolumeInfo info;
    info.OS = "stale";
    info.VolSetSize = 7;
    info.Creation.year = 1999;
    info.Label = "KEEP";
    LoadVolumeInfo(info, (dir_ / "absent.INI").string());
    EXPECT_EQ(info.OS, "");
    EXPECT_EQ(info.VolSetSize, 1);
    EXPECT_EQ(info.VolNumber, 1);
    EXPECT_TRUE(IsDateUnset(info.Creation));
    EXPECT_EQ(info.ImplID, "");
    EXPECT_EQ(info.Label, "KEEP");  // not a persisted field
}

TEST_F(VolumeInfoFile, OnlyCreationYear) {
    Write("[VolumeInfo]\nISO_PVD_Creation_Year=2012\n");
    VolumeInfo info;
    LoadVolumeInfo(info, path_);
    EXPECT_EQ(info.Creation, Date(2012, 0, 0, 0, 0, 0));
    EXPECT_FALSE(IsDateUnset(info.Creation));
    EXPECT_EQ(info.VolSetSize, 1);
}

TEST_F(VolumeInfoFile, ReadsLooseWindowsFile) {
    // Code page 932 text, CRLF lines, other case in section and keys, blanks
    // around "=", a comment, quotes, integers with junk and out of range.
    Write("; written elsewhere\r\n[volumeinfo]\r\n  iso_pvd_publisher =  " + Utf8ToCp932("出版社") +
          "  \r\nISO_PVD_OS=\" padded \"\r\nISO_PVD_VolSetSize=12abc\r\nISO_PVD_VolNumber=x3\r\n"
          "ISO_PVD_Modification_Month=-1\r\nISO_PVD_Modification_Day=65537\r\nISO_PVD_Expiration_Year=\r\n");
    VolumeInfo info;
    LoadVolumeInfo(info, path_);
    EXPECT_EQ(info.Publisher, "出版社");
    EXPECT_EQ(info.OS, " padded ");
    EXPECT_EQ(info.VolSetSize, 12);
    EXPECT_EQ(info.VolNumber, 0);
    EXPECT_EQ(info.Modification.month, 65535);
    EXPECT_EQ(info.Modification.day, 1);
    EXPECT_EQ(info.Expiration.year, 0);
}

TEST_F(VolumeInfoFile, SaveAndLoadRoundTrip) {
    Write("[Other]\nkeep=me\n\n[VolumeInfo]\nCustom=1\n; note\n");
    VolumeInfo info;
    info.OS = "Linux";
    info.VolSetID = "セット";
    info.VolSetSize = 65535;
    info.VolNumber = 0;
    info.Publisher = " leading and trailing ";
    info.Prepare = "\"quoted\"";
    info.Application = "a=b;c";
    info.Copyright = "COPY.TXT";
    info.Abstract = "";
    info.Biblographic = "BIB.TXT";
    info.Creation = Date(2024, 2, 29, 23, 59, 60);
    info.Modification = Date(1, 2, 3, 4, 5, 6);
    info.Expiration = Date(0, 0, 0, 0, 0, 0);
    info.Effective = Date(65535, 12, 31, 0, 0, 0);
    info.ImplID = "実装";
    std::string longText(4094, 'x');
    longText += "あ";  // 3 bytes that cross the 4095 boundary
    info.Abstract = longText;
    ASSERT_TRUE(SaveVolumeInfo(info, path_));

    std::string text = Read();
    EXPECT_TRUE(IsValidUtf8(text));
    EXPECT_NE(text.find("[Other]\nkeep=me\n"), std::string::npos);
    EXPECT_NE(text.find("Custom=1\n; note\n"), std::string::npos);
    EXPECT_NE(text.find("ISO_PVD_VolSetSize=65535\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(path_ + ".tmp"));

    VolumeInfo back;
    LoadVolumeInfo(back, path_);
    EXPECT_EQ(back.Abstract, std::string(4094, 'x'));
    back.Abstract = longText;
    auto persisted = [](const VolumeInfo& v) {
        return std::tie(v.OS, v.VolSetID, v.VolSetSize, v.VolNumber, v.Publisher, v.Prepare, v.Application,
                        v.Copyright, v.Biblographic, v.Creation, v.Modification, v.Expiration, v.Effective, v.ImplID);
    };
    EXPECT_TRUE(persisted(back) == persisted(info));

    // A second save rewrites the same keys in place.
    ASSERT_TRUE(SaveVolumeInfo(back, path_));
    EXPECT_EQ(Read(), text);
}

TEST_F(VolumeInfoFile, SaveConvertsCp932FileToUtf8) {
    Write("[Old]\nname=" + Utf8ToCp932("日本語") + "\n");
    VolumeInfo info;
    ASSERT_TRUE(SaveVolumeInfo(info, path_));
    std::string text = Read();
    EXPECT_EQ(text.rfind("[Old]\nname=日本語\n\n[VolumeInfo]\nISO_PVD_OS=\n", 0), 0u);
}

TEST_F(VolumeInfoFile, SaveCreatesMissingFolder) {
    std::string nested = (dir_ / "a" / "b" / "parumero.INI").string();
    VolumeInfo info;
    info.OS = "X";
    ASSERT_TRUE(SaveVolumeInfo(info, nested));
    VolumeInfo back;
    LoadVolumeInfo(back, nested);
    EXPECT_EQ(back.OS, "X");
}

TEST_F(VolumeInfoFile, SaveKeepsLinkAndPermissions) {
    std::string real = (dir_ / "real.INI").string();
    std::ofstream(real) << "[Mine]\na=1\n";
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(real, path_);
    VolumeInfo info;
    info.OS = "X";
    ASSERT_TRUE(SaveVolumeInfo(info, path_));
    EXPECT_TRUE(fs::is_symlink(path_));
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    VolumeInfo back;
    LoadVolumeInfo(back, real);
    EXPECT_EQ(back.OS, "X");
    EXPECT_EQ(Read().rfind("[Mine]\na=1\n", 0), 0u);
}

TEST(ApplyBuildInputs, LabelVolumeSetAndCreation) {
    VolumeInfo info;
    info.Creation = Date(2001, 1, 2, 3, 4, 5);
    ApplyBuildInputs(info, "DISC", Date(0, 0, 0, 0, 0, 0), Date(0, 0, 0, 13, 14, 15));
    EXPECT_EQ(info.Label, "DISC");
    EXPECT_EQ(Bytes(info.UdfLabel), Bytes(Cs0String("DISC")));
    EXPECT_EQ(Bytes(info.UdfVolSet), Bytes(info.UdfLabel));
    EXPECT_EQ(info.Creation, Date(2001, 1, 2, 3, 4, 5));  // unset date: kept, time ignored

    info.VolSetID = "セット";
    VolumeDate date = Date(2020, 5, 6, 7, 8, 9);  // its time part is not used
    date.dayOfWeek = 3;
    ApplyBuildInputs(info, "ラベル", date, Date(1, 1, 1, 10, 11, 12));
    EXPECT_EQ(Bytes(info.UdfLabel), Bytes(Cs0String("ラベル")));
    EXPECT_EQ(Bytes(info.UdfVolSet), Bytes(Cs0String("セット")));
    EXPECT_EQ(info.Creation, Date(2020, 5, 6, 10, 11, 12));
}

}  // namespace
}  // namespace pm
