#include "udf/FileEntries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tree/FileEntry.h"
#include "disc/OnDisc.h"
#include "udf/Primitives.h"
#include "TreeBuilder.h"
#include "ImageCheck.h"
#include "iso9660/IsoTestSupport.h"

namespace pm {
namespace {

using test::Add;

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }
std::vector<uint8_t> Zeros(size_t n) { return std::vector<uint8_t>(n, 0); }

bool TagIsSound(const uint8_t* d, uint16_t id, uint32_t location, uint16_t length) {
    return GetLE16(d) == id && d[4] == TagChecksum(d) && GetLE16(d + 10) == length - 16 &&
           GetLE16(d + 8) == DescriptorCrc(d + 16, length - 16) && GetLE32(d + 12) == location;
}

// The tree of the worked example, placed as the layout places it from block 2:
// root entry 2, root identifiers 3, "a.txt" 4, "b.txt" 5, "sub" 6 with its
// identifiers at 7, "sub/c.txt" 8; file data from block 9.
struct ExampleTree {
    CFileEntry root;
    CFileEntry *a, *b, *sub, *c;
    ExampleTree() {
        root.Path() = "/src";
        root.m_bDirectory = true;
        a = Add(root, "a.txt", false, 5);
        b = Add(root, "b.txt", false, 3000);
        sub = Add(root, "sub", true);
        c = Add(*sub, "c.txt", false, 0);
        Place(root, 2, 0, 3, 2);
        Place(*a, 4, 16, 9);
        Place(*b, 5, 17, 10);
        Place(*sub, 6, 18, 7, 1);
        Place(*c, 8, 19, 12);
        root.m_nUdfSize = FidAreaSize(root);
        sub->m_nUdfSize = FidAreaSize(*sub);
    }
    static void Place(CFileEntry& n, uint32_t entry, uint32_t id, uint32_t data, uint16_t links = 1) {
        n.m_dwUdfEntryBlock = entry;
        n.m_dwUniqueId = id;
        n.m_dwUdfDataBlock = data;
        n.m_wLinkCount = links;
    }
};

TEST(UdfFileEntries, IdentifierSizes) {
    // 38 bytes and the CS0 name (5, 6, 7 characters: 11, 13, 15 bytes), padded to 4.
    for (auto [name, size] : {std::pair{11, 52u}, {13, 52u}, {15, 56u}, {0, 40u}, {255, 296u}}) EXPECT_EQ(FidSize(name), size);
    CFileEntry empty;
    empty.m_bDirectory = true;
    EXPECT_EQ(FidAreaSize(empty), 40u);
    ExampleTree t;
    EXPECT_EQ(FidAreaSize(t.root), 40u + 52 + 52 + 48);
    EXPECT_EQ(FidAreaSize(*t.sub), 40u + 52);
}

// The worked example's entries and identifiers, each pinned by its length and
// hash: the bytes were read field by field when pinned (file type, ICB flags,
// permissions, link counts, the two extended attributes, allocation
// descriptors, unique ids, parent and folder characteristics), and the UDF
// reader, --verify and udfinfo read them back in every image the tests make.
TEST(UdfFileEntries, FileEntryGoldenBytes) {
    test::TzScope tz("JST-9", 540);
    ExampleTree t;
    t.b->m_time = 1364785200;  // 2013-04-01 12:00:00 JST
    std::vector<std::string> got;
    auto pin = [&](auto fill, uint8_t over) {
        std::vector<uint8_t> s(2048, over);
        const size_t used = fill(s.data());
        got.push_back(std::to_string(used) + ":" + test::HashBytes(s));
    };
    const auto entry = [](CFileEntry& n, const char* impl) { return [&n, impl](uint8_t* d) { return FillFileEntry(n, d, 2048, impl); }; };
    const auto contents = [](CFileEntry& n) { return [&n](uint8_t* d) { return FillDirectoryContents(n, d, 2048); }; };
    pin(entry(*t.b, "impl"), 0xAA);  // the whole block is written
    pin(entry(t.root, ""), 0xAA);
    pin(entry(*t.sub, ""), 0xAA);
    pin(contents(t.root), 0);
    pin(contents(*t.sub), 0);
    t.b->m_bHidden = true;
    pin([&](uint8_t* d) { return FillFileIdentifier(*t.b, d, 2048, 3, false); }, 0);
    t.root.m_bHidden = true;  // its parent entry is hidden as well
    pin(contents(t.root), 0);
    EXPECT_EQ(got, (std::vector<std::string>{"316:1aaa06aa78addd3f", "316:2d3ffd46bcabb2e6", "316:39411bdc5f9d3538",
                                             "192:f4eff922cd63fe4f", "92:e902296f9195b852", "52:4591b5db97298b14",
                                             "192:596780936a2daee3"}));
}

TEST(UdfFileEntries, IdentifiersStraddleBlocks) {
    CFileEntry root;
    root.m_bDirectory = true;
    root.m_dwUdfDataBlock = 3;
    for (int i = 0; i < 40; ++i) Add(root, "file" + std::string(1, char('A' + i % 26)) + std::to_string(10 + i), false);
    root.m_nUdfSize = FidAreaSize(root);  // 40 + 40 * 56
    ASSERT_EQ(root.m_nUdfSize, 2280u);
    std::vector<uint8_t> area(4096, 0);
    ASSERT_EQ(FillDirectoryContents(root, area.data(), 2048), 2280u);
    // The 36th child starts at 2000 and ends at 2056: its tag names block 3.
    EXPECT_TRUE(TagIsSound(area.data() + 2000, kTagFileIdentifier, 3, 56));
    EXPECT_TRUE(TagIsSound(area.data() + 2056, kTagFileIdentifier, 4, 56));
    EXPECT_EQ(Bytes(area.data() + 2280, 4096 - 2280), Zeros(4096 - 2280));
}

TEST(UdfFileEntries, AllocationDescriptors) {
    CFileEntry f;
    f.m_dwUdfDataBlock = 100;
    f.m_dwUdfEntryBlock = 9;
    f.m_nUdfSize = 0x40000000;
    std::vector<uint8_t> e(2048 + 16, 0xAA);
    ASSERT_EQ(FillFileEntry(f, e.data(), 2048, ""), 324u);
    EXPECT_TRUE(TagIsSound(e.data(), kTagFileEntry, 9, 324));
    EXPECT_EQ(GetLE32(e.data() + 172), 16u);
    const uint8_t ads[16] = {0x00, 0xF8, 0xFF, 0x3F, 100, 0, 0, 0, 0x00, 0x08, 0, 0, 0x63, 0x00, 0x08, 0};
    EXPECT_EQ(Bytes(e.data() + 308, 16), Bytes(ads, 16));  // 0x800 bytes at 100 + 0x7FFFF
    EXPECT_EQ(GetLE64(e.data() + 64), 0x80000u);

    // An empty file: one descriptor of length 0 at its data block.
    f.m_nUdfSize = 0;
    ASSERT_EQ(FillFileEntry(f, e.data(), 2048, ""), 316u);
    const uint8_t zero[8] = {0, 0, 0, 0, 100, 0, 0, 0};
    EXPECT_EQ(Bytes(e.data() + 308, 8), Bytes(zero, 8));
    EXPECT_EQ(GetLE64(e.data() + 56), 0u);
    EXPECT_EQ(GetLE64(e.data() + 64), 0u);

    // The largest file one entry can describe fills it with 217 descriptors;
    // a longer one never writes past the block.
    f.m_nUdfSize = kMaxUdfFileSize;
    ASSERT_EQ(FillFileEntry(f, e.data(), 2048, ""), 308u + 8 * 217);
    f.m_nUdfSize = kMaxUdfFileSize + 1;
    std::fill(e.begin(), e.end(), 0xAA);
    ASSERT_EQ(FillFileEntry(f, e.data(), 2048, ""), 308u + 8 * 217);
    EXPECT_EQ(Bytes(e.data() + 2048, 16), std::vector<uint8_t>(16, 0xAA));
}

}  // namespace
}  // namespace pm
