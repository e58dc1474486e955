#include "udf/FileEntries.h"

#include <gtest/gtest.h>

#include <vector>

#include "disc/OnDisc.h"
#include "udf/PathComponents.h"
#include "udf/Primitives.h"
#include "FakePlatform.h"
#include "ImageCheck.h"
#include "TreeBuilder.h"
#include "iso9660/IsoTestSupport.h"
#include "messages/JobMessages.h"

namespace pm {
namespace {

using test::Add;
using Bytes = std::vector<uint8_t>;

bool TagIsSound(const uint8_t* d, uint16_t id, uint32_t location, uint16_t length) {
    return GetLE16(d) == id && d[4] == TagChecksum(d) && GetLE16(d + 10) == length - 16 &&
           GetLE16(d + 8) == DescriptorCrc(d + 16, length - 16) && GetLE32(d + 12) == location;
}

// The tree of the worked example as the layout places it, so that the
// goldens pin the placement too: root entry 2, root identifiers 3, "a.txt" 4,
// "b.txt" 5, "sub" 6 with its identifiers at 7, "sub/c.txt" 8; unique ids
// from 16; file data from block 9.
struct ExampleTree {
    ExampleTree() {
        test::MakeRoot(root);
        a = Add(root, "a.txt", false, 5);
        b = Add(root, "b.txt", false, 3000);
        sub = Add(root, "sub", true);
        c = Add(*sub, "c.txt", false, 0);
        layout.PlaceTree();
    }
    FakePlatform fake;
    JobMessages messages;
    ImageBuilder layout{fake, test::GoldenRequest("/", FileSystemType::Udf), messages};
    CFileEntry& root = layout.m_root;
    CFileEntry *a, *b, *sub, *c;
};

// The worked example's entries and identifiers, each pinned by its length and
// hash: the bytes were read field by field when pinned (file type, ICB flags,
// permissions, link counts, the two extended attributes, allocation
// descriptors, unique ids, parent and folder characteristics), and the UDF
// reader, --verify and udfinfo read them back in every image the tests make.
TEST(UdfFileEntries, FileEntryGoldenBytes) {
    test::TzScope tz("JST-9");
    ExampleTree t;
    t.b->m_time = 1364785200;  // 2013-04-01 12:00:00 JST
    std::vector<std::string> got;
    auto pin = [&](auto fill, uint8_t over) {
        std::vector<uint8_t> s(2048, over);
        const size_t used = fill(s.data());
        got.push_back(std::to_string(used) + ":" + test::HashBytes(s));
    };
    for (CFileEntry* n : {t.b, &t.root, t.sub})  // the whole block is written
        pin([&](uint8_t* d) { return FillFileEntry(*n, d, 2048, n == t.b ? "impl" : ""); }, 0xAA);
    const auto contents = [](CFileEntry& n) { return [&n](uint8_t* d) { return FillDirectoryContents(n, d, 2048); }; };
    for (CFileEntry* n : {&t.root, t.sub}) pin(contents(*n), 0);
    t.b->m_bHidden = true;
    pin([&](uint8_t* d) { return FillFileIdentifier(*t.b, d, 2048, 3, false); }, 0);
    t.root.m_bHidden = true;  // its parent entry is hidden as well
    pin(contents(t.root), 0);
    EXPECT_EQ(got, (std::vector<std::string>{"316:1aaa06aa78addd3f", "316:2d3ffd46bcabb2e6", "316:39411bdc5f9d3538",
                                             "192:f4eff922cd63fe4f", "92:e902296f9195b852", "52:4591b5db97298b14",
                                             "192:596780936a2daee3"}));
}

// A file's data in descriptors of at most 2^30 - 2048 bytes, each where the
// one before ends (the last one shown); an empty file has one of length 0.
// The largest file one entry can describe fills it with 217 descriptors; a
// longer one never writes past the block.
TEST(UdfFileEntries, AllocationDescriptors) {
    const Bytes full = {0x00, 0xF8, 0xFF, 0x3F, 0x8C, 0xFF, 0xBF, 0x06};  // at 100 + 216 * 0x7FFFF
    const struct { uint64_t size; uint32_t used; Bytes last; } cases[] = {
        {0, 316, {0, 0, 0, 0, 100, 0, 0, 0}},
        {0x40000000, 324, {0x00, 0x08, 0, 0, 0x63, 0x00, 0x08, 0}},  // 0x800 bytes at 100 + 0x7FFFF
        {5ull << 30, 356, {0x00, 0x28, 0, 0, 0x5F, 0x00, 0x28, 0}},   // 5 * 2048 bytes at 100 + 5 * 0x7FFFF
        {kMaxUdfFileSize, 308 + 8 * 217, full},
        {kMaxUdfFileSize + 1, 308 + 8 * 217, full},
    };
    CFileEntry f;
    f.m_dwUdfDataBlock = 100;
    f.m_dwUdfEntryBlock = 9;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        f.m_nUdfSize = c.size;
        Bytes e(2048 + 16, 0xAA);
        ASSERT_EQ(FillFileEntry(f, e.data(), 2048, ""), c.used);
        EXPECT_TRUE(TagIsSound(e.data(), kTagFileEntry, 9, uint16_t(c.used)));
        // The descriptors' length, the last descriptor, the bytes past the block.
        EXPECT_EQ(std::tuple(GetLE32(e.data() + 172), Bytes(e.begin() + c.used - 8, e.begin() + c.used), Bytes(e.begin() + 2048, e.end())),
                  std::tuple(c.used - 308, c.last, Bytes(16, 0xAA)));
    }
}

// With Linux attributes: permissions (delete following write, the owner's
// change attribute), setuid/setgid/sticky in the ICB flags, owner and group,
// the three times; a symbolic link's target as path components inside its
// entry (allocation type 3). The fields are spelt out, the hash pins the rest.
TEST(UdfFileEntries, PosixAttributes) {
    test::TzScope tz("UTC");
    const struct { uint32_t mode; const char* target; uint16_t flags; uint32_t permissions; Bytes data; const char* hash; } rows[] = {
        {0100755, "", 0x0230, 0x7CA5, {}, "bdcdf2708ac522e4"},
        {0104750, "", 0x0270, 0x7CA0, {}, "db74cc9d05672287"},
        {0041777, "", 0x0330, 0x7EF7, {}, "f64229066d6d18e2"},
        {0120777, "./../a/\xC3\xA9", 0x0233, 0x7EF7, {4, 0, 0, 0, 3, 0, 0, 0, 5, 2, 0, 0, 8, 'a', 5, 2, 0, 0, 8, 0xE9}, "3d132e3765700a2c"},
        {0120777, "/usr//\xE6\x97\xA5/", 0x0233, 0x7EF7, {1, 0, 0, 0, 5, 4, 0, 0, 8, 'u', 's', 'r', 5, 3, 0, 0, 16, 0x65, 0xE5}, "e744d52ba6a81c5b"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.target);
        CFileEntry n;
        n.KeepPosix(DirEntry{.mode = r.mode, .uid = 1001, .gid = 2002, .atime = 1600000001, .ctime = 1600000002,
                             .linkTarget = r.target});
        n.m_bDirectory = (r.mode & kModeTypeMask) == kModeFolder;
        n.m_time = 1600000000, n.m_wLinkCount = 3, n.m_nUdfSize = 5, n.m_dwUdfDataBlock = 40, n.m_dwUdfEntryBlock = 9;
        Bytes e(2048);
        const uint32_t used = FillFileEntry(n, e.data(), 2048, "");
        // ICB flags, uid, gid, permissions, file type.
        EXPECT_EQ((std::vector<uint32_t>{GetLE16(e.data() + 34), GetLE32(e.data() + 36), GetLE32(e.data() + 40), GetLE32(e.data() + 44), e[27]}),
                  (std::vector<uint32_t>{r.flags, 1001, 2002, r.permissions, n.m_bDirectory ? 4u : r.data.empty() ? 5u : 12u}));
        if (!r.data.empty()) EXPECT_EQ(Bytes(e.begin() + 308, e.begin() + used), r.data);
        EXPECT_TRUE(TagIsSound(e.data(), kTagFileEntry, 9, uint16_t(used)));
        EXPECT_EQ(test::HashBytes(e), r.hash);
    }
    // What one entry holds: 1,740 bytes of components, each name at most 255 bytes as CS0.
    std::string six;
    for (int i = 0; i < 6; ++i) six += std::string(254, 'a') + "/";  // 6 x 259 bytes
    // The last: neither UTF-8 nor code page 932.
    std::vector<bool> fits;
    for (const std::string& t : {six + std::string(181, 'b'), six + std::string(182, 'b'), std::string(255, 'a'), std::string("\xFF\xFF")})
        fits.push_back(LinkTargetFits(t));
    EXPECT_EQ(fits, (std::vector<bool>{true, false, false, false}));
}

}  // namespace
}  // namespace pm
