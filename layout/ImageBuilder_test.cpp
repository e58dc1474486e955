// Sector maps of the three image kinds and the name checks.
#include "layout/ImageBuilder.h"

#include <map>

#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "TreeBuilder.h"
#include "messages/JobMessages.h"

namespace pm {
namespace {

using test::AddFile;
using test::AddFolder;

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override { test::MakeRoot(b.m_root); }
    // One tree laid out as one kind after another.
    void Place(FileSystemType kind) {
        b.MutableRequest().kind = kind;
        b.PlaceTree();
    }
    FakePlatform platform;
    JobMessages messages;
    test::TestBuilder b{platform, BuildRequest{}, messages};
};

using U = std::vector<uint64_t>;

// The empty image of each kind is pinned by its hash in
// writer/ImageWriter_test.cpp. File extents round up and an empty file owns a
// sector; records that end at a sector end stay there; a UDF image ends
// sixteen sectors after a multiple of sixteen, even where its data ends on one.
TEST_F(LayoutTest, FileExtentsRoundUpAndEmptyFilesOwnASector) {
    std::vector<CFileEntry*> f;  // A0..A3
    for (uint64_t size : {0, 2048, 2049, 1}) f.push_back(AddFile(b.m_root, "A" + std::to_string(f.size()), size));
    Place(FileSystemType::Joliet);
    EXPECT_EQ((U{f[0]->m_dwIsoSector, f[1]->m_dwIsoSector, f[2]->m_dwIsoSector, f[3]->m_dwIsoSector, f[3]->m_dwJolietSector, b.m_dwTotalSectors}),
              (U{25, 26, 27, 29, 29, 30}));
    // For clones, data starts on even sectors (4 KiB); an empty file needs none.
    b.MutableRequest().volume.Reflink = true;
    Place(FileSystemType::Joliet);
    EXPECT_EQ((U{f[0]->m_dwIsoSector, f[1]->m_dwIsoSector, f[2]->m_dwIsoSector, f[3]->m_dwIsoSector, b.m_dwTotalSectors}), (U{25, 26, 28, 30, 31}));
    b.MutableRequest().volume.Reflink = false;
    b.m_root.DeleteChildren();
    // Root entry 259, identifiers 260, file entry 261, data 262..271: next free is 272.
    AddFile(b.m_root, "f", 10 * 2048);
    Place(FileSystemType::Udf);
    EXPECT_EQ((U{b.m_dwUdfPartitionLength, b.m_dwTotalSectors}), (U{272 - 257, 288}));
}

TEST_F(LayoutTest, RecordsEndingAtASectorEndStayThere) {
    // 18 records of 38 bytes and 27 of 48 fill bytes 68..2047 exactly; a
    // file of 5 GiB takes two of them (two sections), one of 9 GiB three.
    for (int i = 0; i < 18; ++i) AddFile(b.m_root, "s" + std::to_string(100 + i), 1, "S" + std::to_string(10 + i));
    for (int i = 0; i < 25; ++i) AddFile(b.m_root, "l" + std::to_string(100 + i), 1, "L" + std::to_string(1000000 + i) + ".TXT");
    CFileEntry* big = AddFile(b.m_root, "big", 5ull << 30, "L1000025.TXT");
    Place(FileSystemType::Joliet);
    EXPECT_EQ(b.m_root.m_nIsoSize, 2048u);
    big->m_nIsoSize = big->m_nJolietSize = 9ull << 30;
    Place(FileSystemType::Joliet);
    EXPECT_EQ((U{b.m_root.m_nIsoSize, b.m_dwBufferSize}), (U{4096, 4096}));
}

// Folders are numbered in entry order depth by depth: "a b" collates before
// "a/" as a whole path, yet the path table needs a's children first.
TEST_F(LayoutTest, FoldersAreNumberedInEntryOrderDepthByDepth) {
    CFileEntry* c = AddFolder(b.m_root, "C");
    CFileEntry* a = AddFolder(b.m_root, "a");
    CFileEntry* bb = AddFolder(b.m_root, "B");
    CFileEntry* y = AddFolder(*AddFolder(b.m_root, "a b"), "y");
    CFileEntry* inner = AddFolder(*a, "inner");
    Place(FileSystemType::Joliet);
    ASSERT_EQ(b.m_directories.size(), 7u);
    EXPECT_EQ((U{a->m_wDirNumber, y->m_pParent->m_wDirNumber, bb->m_wDirNumber, c->m_wDirNumber, inner->m_wDirNumber,
                 y->m_wDirNumber}),
              (U{2, 3, 4, 5, 6, 7}));
}

class NamesTest : public LayoutTest {
protected:
    // "<names failing>:<report>" of the tree laid out as `kind`.
    std::string Check(FileSystemType kind) {
        messages.Clear();
        Place(kind);
        const int failing = b.CheckNames();
        return std::to_string(failing) + ":" + messages.JoinedText();
    }
};

// One file at a time: the limits of each kind, and the kinds it does not bind.
TEST_F(NamesTest, EachKindsLimits) {
    using K = FileSystemType;
    std::string kanji64;
    for (int i = 0; i < 64; ++i) kanji64 += "漢";
    const uint64_t udfMax = 217ull * 0x3FFFF800;  // what one file entry can describe
    const struct { K kind; std::string name, shortName; uint64_t size; const char* message; } cases[] = {
        {K::Joliet, "abcdefghi.txt", "", 1, "以上のファイルとフォルダで、ISO9660用の\n8.3形式のファイル名の取得に失敗しました。"},
        {K::UdfBridge, "abcdefghi.txt", "", 1, "8.3形式"},  // 13 bytes, no 8.3 name
        {K::Udf, "abcdefghi.txt", "", 1, nullptr},
        {K::Joliet, kanji64, "K1", 1, nullptr},
        {K::Joliet, kanji64 + "漢", "K2", 1, "ファイル名は64文字以内です。"},
        {K::Udf, std::string(127, 'u'), "", 1, nullptr},
        {K::Udf, std::string(128, 'v'), "", 1, "127文字以内"},
        {K::Udf, std::string(100, 'w'), "W~1", 1, nullptr},  // passes UDF alone, not a bridge
        {K::UdfBridge, std::string(100, 'w'), "W~1", 1, "64文字以内"},
        {K::Joliet, "big.bin", "", 5ull << 30, nullptr},  // records in sections
        {K::UdfBridge, "huge.bin", "", udfMax, nullptr},
        {K::UdfBridge, "huge.bin", "", udfMax + 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.substr(0, 20) + " " + std::to_string(int(c.kind)));
        b.m_root.DeleteChildren();
        AddFile(b.m_root, c.name, c.size, c.shortName);
        const std::string got = Check(c.kind);
        if (!c.message) EXPECT_EQ(got, "0:");
        else EXPECT_TRUE(got.rfind("1:" + c.name + "\n", 0) == 0 && got.find(c.message) != std::string::npos) << got;
    }
}

// Names no reader could tell apart, or cannot show: refused with both paths.
TEST_F(NamesTest, CollisionsForbiddenCharactersAndUndecodableNames) {
    using K = FileSystemType;
    const struct { K kind; std::vector<std::string> names; const char* report; } cases[] = {
        {K::Joliet, {"a", "a. "}, "/src/src/a\n/src/src/a. \n以上のファイルとフォルダは、同じフォルダの中で"},
        {K::UdfBridge, {"x.txt", "x.txt."}, "/src/src/x.txt\n/src/src/x.txt.\n以上"},
        {K::Udf, {"a", "a."}, nullptr},  // UDF readers keep trailing dots
        {K::Joliet, {"README", "readme"}, nullptr},  // Linux readers keep case apart
        {K::Udf, {"日本語.txt", "\x93\xfa\x96\x7b\x8c\xea.txt"}, "/src/src/\\x93\\xFA\\x96{\\x8C\\xEA.txt\n/src/src/日本語.txt\n"},
        {K::UdfBridge, {"a:b", "us\x1f"}, "/src/src/a:b\n/src/src/us\x1f\n以上のファイルとフォルダの名前には、Joliet"},
        {K::Joliet, {"x;y.txt"}, nullptr},  // every reader splits the version at the last ";"
        {K::Joliet, {"/c;d"}, "/src/src/c;d\n以上"},
        {K::Udf, {"a:b?c*\\"}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.names[0] + " " + std::to_string(int(c.kind)));
        b.m_root.DeleteChildren();
        for (const std::string& n : c.names)
            if (n[0] == '/') AddFolder(b.m_root, n.substr(1), "D~1");
            else AddFile(b.m_root, n, 1, "A~1");
        const std::string got = Check(c.kind);
        if (!c.report) EXPECT_EQ(got, "0:");
        else EXPECT_TRUE(got[0] != '0' && got.find(std::string(":") + c.report) == 1) << got;
    }
}

TEST_F(NamesTest, OnlyTheFirstFailingCheckIsReportedFoldersFirst) {
    AddFile(b.m_root, std::string(65, 'x'), 1, "X~1");  // Joliet too long, 8.3 fine
    AddFile(b.m_root, "zz long name.txt", 1);    // 8.3 missing
    AddFolder(b.m_root, "folder nine");          // 11 bytes > 8
    EXPECT_EQ(Check(FileSystemType::Joliet).rfind("2:folder nine\nzz long name.txt\n", 0), 0u);
    EXPECT_EQ(messages.Entries().size(), 1u);
}

TEST_F(NamesTest, MoreFoldersThanAPathTableCanNumberNeedTheUdfKind) {
    DirEntry e;
    e.directory = true;
    for (int i = 0; i < 65535; ++i) {  // with the root, one more than 16 bits can number
        e.name = "d" + std::to_string(100000 + i);
        b.m_root.AddChild(e, "/src/src/" + e.name);
    }
    EXPECT_EQ(Check(FileSystemType::Joliet).rfind("1:フォルダが 65,536 個あります。", 0), 0u);
    // A UDF file entry counts links in 16 bits: itself and one per subfolder.
    EXPECT_EQ(Check(FileSystemType::Udf), "1:/src/src\nフォルダの中にフォルダが 65,535 個あります。UDFに格納できるのは65,534個までです。");
    b.m_root.m_children.pop_back();
    EXPECT_EQ(Check(FileSystemType::Udf), "0:");
    EXPECT_EQ(b.m_root.m_wLinkCount, 65535);
}

TEST_F(NamesTest, TheSourceFolderItselfIsChecked) {
    test::MakeRoot(b.m_root, std::string(65, 'r'));
    b.m_root.m_strShortName = "R~1";
    EXPECT_EQ(Check(FileSystemType::Joliet).rfind("1:" + std::string(65, 'r') + "\n", 0), 0u);
}

// With Linux attributes: a hard link shares its file's data and counts its
// names; the Joliet tree shows the file a symbolic link leads to (through
// other links too) and leaves out, and reports, every other link.
TEST(PosixLayout, HardLinksShareDataAndJolietShowsWhatLinksLeadTo) {
    FakePlatform fake;
    const uint64_t inode = fake.AddFile("/src/a.txt", "alpha").inode;
    fake.AddFile("/src/sub/b.txt", "alpha").inode = inode;
    fake.AddLink("/src/sub/to-a", "../a.txt");
    fake.AddLink("/src/sub/to-b", "./to-a");
    for (auto [name, target] : {std::pair{"folder", "sub"}, {"out", "/src/a.txt"}, {"loop", "loop"}, {"above", "../src/a.txt"}})
        fake.AddLink(std::string("/src/") + name, target);
    JobMessages messages;
    BuildRequest request = test::GoldenRequest("/src", FileSystemType::Joliet);
    request.volume.PosixAttributes = true;
    ImageBuilder b{fake, request, messages};
    ASSERT_TRUE(b.Layout());
    std::map<std::string, const CFileEntry*> at;
    for (const CFileEntry* f : b.m_files) at[f->Path().substr(5)] = f;
    ASSERT_EQ(b.DataFiles(), std::vector<CFileEntry*>{const_cast<CFileEntry*>(at["a.txt"])});
    const uint32_t data = at["a.txt"]->m_dwIsoSector;
    EXPECT_EQ((U{at["sub/b.txt"]->m_dwIsoSector, at["sub/b.txt"]->Posix()->links, at["a.txt"]->Posix()->links}), (U{data, 2, 2}));
    for (const char* link : {"sub/to-a", "sub/to-b"})
        EXPECT_EQ((U{at[link]->m_dwJolietSector, at[link]->m_nJolietSize, at[link]->m_nIsoSize}), (U{data, 5, 0})) << link;
    std::vector<std::string> left;
    for (const SkippedEntry& s : b.GetScanReport().skipped)
        if (s.why == SkippedEntry::NotInJoliet) left.push_back(s.path.substr(5));
    EXPECT_EQ(left, (std::vector<std::string>{"above", "folder", "loop", "out"}));
    EXPECT_EQ(b.m_root.Posix()->links, 3u);
}

}  // namespace
}  // namespace pm
