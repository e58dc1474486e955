#include "udf/FileEntries.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tree/FileEntry.h"
#include "disc/OnDisc.h"
#include "udf/Primitives.h"
#include "TreeBuilder.h"
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

TEST(UdfFileEntries, FileIdentifierGoldenBytes) {
    ExampleTree t;
    t.b->m_bHidden = true;
    std::vector<uint8_t> buf(64, 0);
    ASSERT_EQ(FillFileIdentifier(*t.b, buf.data(), 2048, 3, false), 52u);
    std::vector<uint8_t> want(64, 0);
    const uint8_t body[] = {1, 0,        // file version number
                            0x01, 11,    // characteristics: hidden; L_FI
                            0, 8, 0, 0,  // ICB extent length 2048
                            5, 0, 0, 0,  // ICB block
                            0, 0, 0, 0,  // partition, flags
                            17, 0, 0, 0,  // unique id
                            0, 0,         // length of implementation use
                            16, 0, 'b', 0, '.', 0, 't', 0, 'x', 0, 't'};
    std::memcpy(want.data() + 16, body, sizeof body);
    EXPECT_EQ(Bytes(buf.data() + 16, 48), Bytes(want.data() + 16, 48));
    EXPECT_TRUE(TagIsSound(buf.data(), kTagFileIdentifier, 3, 52));  // CRC covers the padding
}

TEST(UdfFileEntries, FileEntryGoldenBytes) {
    test::TzScope tz("JST-9", 540);
    ExampleTree t;
    t.b->m_time = 1364785200;  // 2013-04-01 12:00:00 JST
    std::vector<uint8_t> e(2048, 0xAA);
    ASSERT_EQ(FillFileEntry(*t.b, e.data(), 2048, "impl"), 316u);

    std::vector<uint8_t> want(2048, 0);
    auto put = [&](size_t at, std::initializer_list<uint8_t> bytes) { std::copy(bytes.begin(), bytes.end(), want.begin() + at); };
    put(20, {4, 0, 0, 0, 1, 0, 0, 5});           // strategy 4, max entries 1, file type 5
    put(34, {0x30, 0x02});                       // ICB flags
    put(36, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});  // uid, gid
    put(44, {0x84, 0x10, 0, 0, 1, 0});           // permissions, link count
    put(56, {0xB8, 0x0B, 0, 0, 0, 0, 0, 0});     // information length 3000
    put(64, {2});                                // logical blocks recorded
    for (size_t at : {72, 84, 96}) put(at, {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12});
    put(108, {1});                               // checkpoint
    put(129, {'*', 'i', 'm', 'p', 'l'});         // implementation identifier
    put(160, {17});                              // unique id
    put(168, {132, 0, 0, 0, 8, 0, 0, 0});        // EA length, AD length
    // Extended attribute space from 176.
    put(176, {0x06, 0x01, 2, 0});                // header tag identifier 262, version
    put(186, {8, 0, 5, 0, 0, 0});                // CRC length 8, location 5
    put(192, {24, 0, 0, 0, 132, 0, 0, 0});       // attribute locations
    put(200, {0, 8, 0, 0, 1, 0, 0, 0, 52, 0, 0, 0, 4, 0, 0, 0});
    put(217, {'*', 'U', 'D', 'F', ' ', 'F', 'r', 'e', 'e', 'E', 'A', 'S', 'p', 'a', 'c', 'e'});
    put(240, {2, 1});
    put(248, {0x61, 0x05});                      // header checksum
    put(252, {0, 8, 0, 0, 1, 0, 0, 0, 56, 0, 0, 0, 8, 0, 0, 0});
    put(269, {'*', 'U', 'D', 'F', ' ', 'D', 'V', 'D', ' ', 'C', 'G', 'M', 'S', ' ', 'I', 'n', 'f', 'o'});
    put(292, {2, 1});
    put(300, {0x49, 0x05});                      // header checksum
    put(308, {0xB8, 0x0B, 0, 0, 10, 0, 0, 0});   // short_ad: 3000 bytes at block 10
    // The two tags are checked for soundness, then compared as written.
    EXPECT_TRUE(TagIsSound(e.data(), kTagFileEntry, 5, 316));
    EXPECT_TRUE(TagIsSound(e.data() + 176, kTagExtendedAttributeHeader, 5, 24));
    std::memcpy(want.data(), e.data(), 16);
    std::memcpy(want.data() + 176, e.data() + 176, 16);
    EXPECT_EQ(e, want);
}

TEST(UdfFileEntries, ExampleTree) {
    ExampleTree t;
    std::vector<uint8_t> e(2048);
    // Folder type 4, permissions, 1 + subfolders links, the identifier area as data.
    FillFileEntry(t.root, e.data(), 2048, "");
    EXPECT_EQ(Bytes(e.data() + 20, 8), (std::vector<uint8_t>{4, 0, 0, 0, 1, 0, 0, 4}));
    EXPECT_EQ(Bytes(e.data() + 44, 28), (std::vector<uint8_t>{0xA5, 0x14, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 192, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(GetLE64(e.data() + 160), 0u);
    EXPECT_EQ(Bytes(e.data() + 308, 8), (std::vector<uint8_t>{192, 0, 0, 0, 3, 0, 0, 0}));
    FillFileEntry(*t.sub, e.data(), 2048, "");
    EXPECT_EQ(GetLE16(e.data() + 48) + GetLE64(e.data() + 160), 1u + 18u);

    std::vector<uint8_t> area(2048, 0);
    ASSERT_EQ(FillDirectoryContents(t.root, area.data(), 2048), 192u);
    const uint8_t* p = area.data();
    EXPECT_TRUE(TagIsSound(p, kTagFileIdentifier, 3, 40));
    EXPECT_EQ(p[18], 0x0A);                             // parent, directory
    EXPECT_EQ(p[19], 0);
    EXPECT_EQ(GetLE32(p + 24), 2u);                     // the root names itself
    EXPECT_EQ(GetLE32(p + 32), 0u);
    const struct { size_t at; uint32_t block, id; uint8_t chars; } children[] = {
        {40, 4, 16, 0x00}, {92, 5, 17, 0x00}, {144, 6, 18, 0x02}};
    for (const auto& c : children) {
        EXPECT_TRUE(TagIsSound(p + c.at, kTagFileIdentifier, 3, uint16_t(c.at == 144 ? 48 : 52)));
        EXPECT_EQ(GetLE32(p + c.at + 24), c.block);
        EXPECT_EQ(GetLE32(p + c.at + 32), c.id);
        EXPECT_EQ(p[c.at + 18], c.chars);
    }
    EXPECT_EQ(Bytes(p + 192, 2048 - 192), Zeros(2048 - 192));

    area.assign(2048, 0);
    ASSERT_EQ(FillDirectoryContents(*t.sub, area.data(), 2048), 92u);
    EXPECT_TRUE(TagIsSound(area.data(), kTagFileIdentifier, 7, 40));
    EXPECT_EQ(Bytes(area.data() + 24, 12), (std::vector<uint8_t>{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));  // the root, id 0
    EXPECT_EQ(Bytes(area.data() + 40 + 24, 12), (std::vector<uint8_t>{8, 0, 0, 0, 0, 0, 0, 0, 19, 0, 0, 0}));

    // A hidden root's parent entry is hidden as well.
    t.root.m_bHidden = true;
    area.assign(2048, 0);
    FillDirectoryContents(t.root, area.data(), 2048);
    EXPECT_EQ(area[18], 0x0B);
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
