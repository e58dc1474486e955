// Whole images from the writer: the empty image of each kind byte for byte
// (the pinned hashes were taken after isoinfo, udfinfo and xorriso accepted
// the images and their structures were read back field by field),
// file data at sector ends, files that changed after the scan, huge files,
// and the plan check that refuses to shift an image.
#include "writer/ImageWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "iso9660/IsoTestSupport.h"
#include "job/JobMessages.h"
#include "job/Strings.h"
#include "udf/FileEntries.h"

namespace pm {
namespace {

using test::ExpectImageHolds;
using test::HashBytes;

constexpr uint32_t kSeed = 1275317998;  // 2010-05-31 14:59:58 UTC

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) { return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24); }
uint64_t Le64(const uint8_t* p) { return Le32(p) | uint64_t(Le32(p + 4)) << 32; }
uint32_t Be32(const uint8_t* p) { return uint32_t(p[3] | p[2] << 8 | p[1] << 16 | uint32_t(p[0]) << 24); }

// Receives the sectors of one build: keeps them all, or only those that
// `keep` accepts (numbered as handed over); always counts.
struct SectorCapture {
    std::vector<uint8_t> bytes;
    std::map<uint32_t, std::vector<uint8_t>> kept;
    std::function<bool(uint32_t)> keep;
    uint64_t count = 0;

    static int Take(int kind, void* context, const uint8_t* data, uint32_t length) {
        auto* c = static_cast<SectorCapture*>(context);
        EXPECT_EQ(kind, 1);
        EXPECT_EQ(length, SectorSize);
        if (!c->keep) c->bytes.insert(c->bytes.end(), data, data + length);
        else if (c->keep(uint32_t(c->count))) c->kept[uint32_t(c->count)].assign(data, data + length);
        ++c->count;
        return 1;
    }
    const uint8_t* Sector(uint32_t n) const { return bytes.data() + size_t(n) * SectorSize; }
};

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheJobMessages().Clear();
        fake.AddFolder("/src").mtime = kSeed;
    }
    void TearDown() override { TheJobMessages().Clear(); }

    // Lays the source out and checks the names; the caller writes.
    void Prepare(FileSystemType kind) {
        b.m_dwSeedSeconds = kSeed;
        ASSERT_TRUE(b.Layout("/src", kind));
        ASSERT_EQ(b.CheckNames(), 0) << TheJobMessages().JoinedText();
        b.SetSectorCallback(&SectorCapture::Take, &out);
    }
    std::vector<uint8_t> Build(FileSystemType kind) {
        Prepare(kind);
        EXPECT_TRUE(b.WriteImage()) << TheJobMessages().JoinedText();
        EXPECT_EQ(out.bytes.size(), size_t(b.m_dwTotalSectors) * SectorSize);
        return out.bytes;
    }
    bool IsZero(uint32_t sector) const {
        const uint8_t* s = out.Sector(sector);
        return std::all_of(s, s + SectorSize, [](uint8_t v) { return v == 0; });
    }
    // Tag identifier at a sector, and that its location field names `location`.
    uint16_t TagAt(uint32_t sector, uint32_t location) const {
        const uint8_t* s = out.Sector(sector);
        EXPECT_EQ(Le32(s + 12), location) << "tag location at sector " << sector;
        EXPECT_EQ(Le16(s + 2), 2) << "descriptor version at sector " << sector;
        return Le16(s);
    }

    test::TzScope tz{"JST-9", 540};
    test::FixedVolumeInfo info;
    FakePlatform fake;
    ImageBuilder b{fake};
    SectorCapture out;
};

void ExpectIsoHierarchy(const SectorCapture& out, uint32_t descriptor, uint32_t tableL, uint32_t root) {
    const uint8_t* d = out.Sector(descriptor);
    EXPECT_EQ(std::memcmp(d + 1, "CD001\x01", 6), 0);
    EXPECT_EQ(Le32(d + 132), 10u);  // path table size: the root alone
    EXPECT_EQ(Le32(d + 140), tableL);
    EXPECT_EQ(Be32(d + 148), tableL + 1);
    EXPECT_EQ(d[156], 34);  // root record
    EXPECT_EQ(Le32(d + 158), root);
    EXPECT_EQ(Le32(d + 166), 2048u);
    EXPECT_EQ(d[156 + 25], 2);  // a folder
    EXPECT_EQ(d[813], '2');     // creation date "2010053123595800" + zone +36 (JST)
    EXPECT_EQ(std::memcmp(d + 813, "2010053123595800", 16), 0);
    EXPECT_EQ(d[829], 36);
    const uint8_t l[10] = {1, 0, uint8_t(root), uint8_t(root >> 8), 0, 0, 1, 0, 0, 0};
    const uint8_t m[10] = {1, 0, 0, 0, uint8_t(root >> 8), uint8_t(root), 0, 1, 0, 0};
    EXPECT_EQ(std::memcmp(out.Sector(tableL), l, 10), 0);
    EXPECT_EQ(std::memcmp(out.Sector(tableL + 1), m, 10), 0);
    const uint8_t* r = out.Sector(root);
    EXPECT_EQ(r[0], 34);   // "."
    EXPECT_EQ(r[33], 0);
    EXPECT_EQ(r[34], 34);  // ".."
    EXPECT_EQ(r[34 + 33], 1);
    EXPECT_EQ(Le32(r + 2), root);
    EXPECT_EQ(Le32(r + 34 + 2), root);
    EXPECT_TRUE(std::all_of(r + 68, r + SectorSize, [](uint8_t v) { return v == 0; }));
}

TEST_F(WriterTest, EmptyJolietImage) {
    std::vector<uint8_t> image = Build(FileSystemType::Joliet);
    ASSERT_EQ(image.size(), 25u * SectorSize);
    for (uint32_t s = 0; s < 16; ++s) EXPECT_TRUE(IsZero(s)) << s;
    const uint8_t* pvd = out.Sector(16);
    EXPECT_EQ(pvd[0], 1);
    EXPECT_EQ(Le32(pvd + 80), 25u);  // volume space size, both byte orders
    EXPECT_EQ(Be32(pvd + 84), 25u);
    EXPECT_EQ(std::memcmp(pvd + 8, "LINUX   ", 8), 0);
    EXPECT_EQ(std::memcmp(pvd + 40, "GOLDEN                          ", 32), 0);
    ExpectIsoHierarchy(out, 16, 19, 21);
    const uint8_t* svd = out.Sector(17);
    EXPECT_EQ(svd[0], 2);
    EXPECT_EQ(std::memcmp(svd + 88, "%/E", 3), 0);
    EXPECT_EQ(std::memcmp(svd + 40, "\0G\0O\0L\0D\0E\0N\0\0\0 ", 16), 0);
    ExpectIsoHierarchy(out, 17, 22, 24);
    const uint8_t term[7] = {255, 'C', 'D', '0', '0', '1', 1};
    EXPECT_EQ(std::memcmp(out.Sector(18), term, 7), 0);
    EXPECT_TRUE(std::all_of(out.Sector(18) + 7, out.Sector(19), [](uint8_t v) { return v == 0; }));
    ExpectImageHolds(image, FileSystemType::Joliet, {});
    EXPECT_EQ(HashBytes(image), "0e9d5f6e43f60ded");
}

TEST_F(WriterTest, EmptyUdfAndBridgeImages) {
    for (FileSystemType kind : {FileSystemType::Udf, FileSystemType::UdfBridge}) {
        SCOPED_TRACE(int(kind));
        out = SectorCapture();
        const bool bridge = kind == FileSystemType::UdfBridge;
        std::vector<uint8_t> image = Build(kind);
        ASSERT_EQ(image.size(), 272u * SectorSize);
        const uint32_t vrs = bridge ? 19 : 16;
        for (uint32_t s = 0; s < 16; ++s) EXPECT_TRUE(IsZero(s)) << s;
        const char* ids[] = {"BEA01", "NSR02", "TEA01"};
        for (uint32_t i = 0; i < 3; ++i) {
            const uint8_t* s = out.Sector(vrs + i);
            EXPECT_EQ(s[0], 0);
            EXPECT_EQ(std::memcmp(s + 1, ids[i], 5), 0);
            EXPECT_EQ(s[6], 1);
        }
        for (uint32_t s = vrs + 3; s < 32; ++s) EXPECT_TRUE(IsZero(s)) << s;
        for (uint32_t start : {32u, 48u}) {
            const uint16_t tags[] = {1, 4, 5, 6, 7, 8};
            for (uint32_t i = 0; i < 6; ++i) EXPECT_EQ(TagAt(start + i, start + i), tags[i]);
            for (uint32_t s = start + 6; s < start + 16; ++s) EXPECT_TRUE(IsZero(s)) << s;
        }
        EXPECT_EQ(Le32(out.Sector(34) + 188), 257u);  // partition start
        EXPECT_EQ(Le32(out.Sector(34) + 192), 4u);    // partition length
        EXPECT_EQ(TagAt(64, 64), 9);
        EXPECT_EQ(TagAt(65, 65), 8);
        for (uint32_t s = 66; s < 256; ++s) EXPECT_TRUE(IsZero(s)) << s;
        for (uint32_t anchor : {256u, 271u}) {
            EXPECT_EQ(TagAt(anchor, anchor), 2);
            const uint8_t* a = out.Sector(anchor);
            EXPECT_EQ(Le32(a + 16), 16u * SectorSize);  // main sequence extent
            EXPECT_EQ(Le32(a + 20), 32u);
            EXPECT_EQ(Le32(a + 24), 16u * SectorSize);  // reserve sequence extent
            EXPECT_EQ(Le32(a + 28), 48u);
        }
        EXPECT_EQ(TagAt(257, 0), 256);  // file set descriptor, partition block 0
        EXPECT_EQ(TagAt(258, 1), 8);
        EXPECT_EQ(TagAt(259, 2), 261);  // the root's file entry
        EXPECT_EQ(Le64(out.Sector(259) + 56), 40u);  // information length: the parent FID
        EXPECT_EQ(TagAt(260, 3), 257);  // the parent FID
        if (bridge) {
            EXPECT_EQ(out.Sector(16)[0], 1);
            EXPECT_EQ(Le32(out.Sector(16) + 80), 272u);
            ExpectIsoHierarchy(out, 16, 264, 266);
            ExpectIsoHierarchy(out, 17, 261, 263);
            EXPECT_EQ(out.Sector(18)[0], 255);
        } else {
            for (uint32_t s = 261; s < 267; ++s) EXPECT_TRUE(IsZero(s)) << s;
        }
        for (uint32_t s = 267; s < 271; ++s) EXPECT_TRUE(IsZero(s)) << s;
        ExpectImageHolds(image, kind, {});
        EXPECT_EQ(HashBytes(image), bridge ? "62156c0b0a325522" : "6c542b593ad08fba");
    }
}

// Data at sector ends, files that changed between the scan and the copy, in
// every kind: each file gets exactly its scanned size.
TEST_F(WriterTest, FileDataKeepsTheScannedSizes) {
    std::string pattern(5000, '\0');
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = char('a' + i % 23);
    fake.AddFile("/src/empty", "");
    fake.AddFile("/src/odd.bin", pattern.substr(0, 2049));
    fake.AddFile("/src/sub/grows.txt", pattern.substr(0, 3000));
    fake.AddFile("/src/sub/shrinks.txt", pattern);
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::UdfBridge, FileSystemType::Udf}) {
        SCOPED_TRACE(int(kind));
        out = SectorCapture();
        FakeNode* grows = fake.Find("/src/sub/grows.txt");
        FakeNode* shrinks = fake.Find("/src/sub/shrinks.txt");
        grows->content = shrinks->content = pattern;
        grows->size = 3000;
        shrinks->size = 5000;
        Prepare(kind);
        grows->size = 5000;  // after the scan
        shrinks->content = pattern.substr(0, 100);
        shrinks->size = 100;
        ASSERT_TRUE(b.WriteImage());
        ASSERT_EQ(out.bytes.size(), size_t(b.m_dwTotalSectors) * SectorSize);
        std::map<std::string, const CFileEntry*> byName;
        for (const CFileEntry* f : b.m_files) byName[f->m_strName] = f;
        EXPECT_TRUE(IsZero(byName["empty"]->m_dwIsoSector));
        const uint32_t odd = byName["odd.bin"]->m_dwIsoSector;
        EXPECT_EQ(byName["grows.txt"]->m_dwIsoSector, odd + 2);  // two sectors for 2049 bytes
        EXPECT_EQ(out.Sector(odd + 1)[0], uint8_t(pattern[2048]));
        EXPECT_TRUE(std::all_of(out.Sector(odd + 1) + 1, out.Sector(odd + 2), [](uint8_t v) { return v == 0; }));
        ExpectImageHolds(out.bytes, kind,
                         {{"empty", ""},
                          {"odd.bin", pattern.substr(0, 2049)},
                          {"sub/grows.txt", pattern.substr(0, 3000)},
                          {"sub/shrinks.txt", pattern.substr(0, 100) + std::string(4900, '\0')}});
    }
}

// 2^30 bytes is one byte block more than a short_ad can hold.
TEST_F(WriterTest, OneGibibyteFileTakesTwoAllocationDescriptors) {
    fake.AddSizedFile("/src/big.bin", 0x40000000);
    Prepare(FileSystemType::Udf);
    out.bytes.reserve(size_t(b.m_dwTotalSectors) * SectorSize);
    ASSERT_TRUE(b.WriteImage());
    ASSERT_EQ(out.bytes.size(), size_t(b.m_dwTotalSectors) * SectorSize);
    test::UdfReader udf(std::move(out.bytes));
    ASSERT_TRUE(udf.Read()) << udf.ProblemText();
    const test::UdfNode* big = udf.Find("/big.bin");
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->size, 0x40000000u);
    ASSERT_EQ(big->extents.size(), 2u);
    const uint32_t data = b.m_files[0]->m_dwUdfDataBlock;
    EXPECT_EQ(big->extents[0].block, data);
    EXPECT_EQ(big->extents[0].length, kMaxExtentLength);
    EXPECT_EQ(big->extents[1].block, data + kMaxExtentLength / SectorSize);
    EXPECT_EQ(big->extents[1].length, SectorSize);
}

// Larger than 4 GiB: UDF alone describes it in full; sectors are counted,
// not stored.
TEST_F(WriterTest, FiveGibibyteFileInUdf) {
    const uint64_t size = 5ull << 30;
    fake.AddFile("/src/a.txt", "small");
    fake.AddSizedFile("/src/huge.bin", size);
    Prepare(FileSystemType::Udf);
    const CFileEntry* huge = b.m_files[1];
    ASSERT_EQ(huge->m_strName, "huge.bin");
    const uint32_t first = huge->m_dwIsoSector, end = first + uint32_t(size / SectorSize);
    out.keep = [&](uint32_t n) { return n < first || n >= end; };
    ASSERT_TRUE(b.WriteImage());
    EXPECT_EQ(out.count, uint64_t(b.m_dwTotalSectors));
    EXPECT_EQ(b.m_dwTotalSectors, end + 16 - end % 16);
    const std::vector<uint8_t>& fe = out.kept[b.m_dwUdfPartitionStart + huge->m_dwUdfEntryBlock];
    ASSERT_EQ(fe.size(), SectorSize);
    EXPECT_EQ(Le16(fe.data()), 261);
    EXPECT_EQ(Le64(fe.data() + 56), size);  // information length
    EXPECT_EQ(Le64(fe.data() + 64), size / SectorSize);  // blocks recorded
    const uint32_t ea = Le32(fe.data() + 168), ads = Le32(fe.data() + 172);
    ASSERT_EQ(ads, 6u * 8);  // five of 2^30 - 2048 bytes and the rest
    uint64_t total = 0;
    uint32_t expectBlock = huge->m_dwUdfDataBlock;
    for (uint32_t i = 0; i < 6; ++i) {
        const uint8_t* ad = fe.data() + 176 + ea + 8 * i;
        EXPECT_EQ(Le32(ad + 4), expectBlock);
        total += Le32(ad);
        expectBlock += Le32(ad) / SectorSize;
    }
    EXPECT_EQ(total, size);
    EXPECT_EQ(Le32(fe.data() + 176 + ea + 40), 5u * SectorSize);
}

// When the writer and the layout disagree, the build ends at the first
// sector out of place with the internal error text: never a shifted image.
TEST_F(WriterTest, PlanMismatchEndsTheBuild) {
    fake.AddFile("/src/a.txt", "alpha");
    fake.AddFile("/src/sub/b.txt", "beta");
    struct Case {
        const char* what;
        FileSystemType kind;
        std::function<void(ImageBuilder&)> tamper;
    };
    auto sub = [](ImageBuilder& b) { return b.m_directories[1]; };
    const Case cases[] = {
        {"folder sector", FileSystemType::Joliet, [&](ImageBuilder& b) { ++sub(b)->m_dwJolietSector; }},
        {"folder size", FileSystemType::Joliet, [](ImageBuilder& b) { b.m_root.m_nIsoSize += SectorSize; }},
        {"udf folder size", FileSystemType::Udf, [&](ImageBuilder& b) { sub(b)->m_nUdfSize += SectorSize; }},
        {"file entry", FileSystemType::Udf, [](ImageBuilder& b) { ++b.m_files[0]->m_dwUdfEntryBlock; }},
        {"file data", FileSystemType::UdfBridge, [](ImageBuilder& b) { --b.m_files[1]->m_dwIsoSector; }},
        {"image length", FileSystemType::Joliet, [](ImageBuilder& b) { ++b.m_dwTotalSectors; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TheJobMessages().Clear();
        out = SectorCapture();
        Prepare(c.kind);
        c.tamper(b);
        EXPECT_FALSE(b.WriteImage());
        ASSERT_EQ(TheJobMessages().Entries().size(), 1u);
        const std::string& text = TheJobMessages().Entries()[0];
        EXPECT_EQ(text.rfind("イメージの配置に内部エラーが発生しました。\n(セクタ ", 0), 0u) << text;
        // Nothing past the sector where the plan broke was handed over.
        const std::string at = std::to_string(out.count);
        EXPECT_NE(text.find("(セクタ " + at + "、"), std::string::npos) << text;
        EXPECT_LT(out.count, uint64_t(b.m_dwTotalSectors));
    }
}

}  // namespace
}  // namespace pm
