// Whole images from the writer: the empty image of each kind byte for byte,
// file data at sector ends, files that changed after the scan, huge files,
// and the plan check that refuses to shift an image.
#include "writer/ImageWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <tuple>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "disc/OnDisc.h"
#include "iso9660/IsoTestSupport.h"
#include "messages/JobMessages.h"
#include "writer/ReadAhead.h"

namespace pm {
namespace {

using test::ExpectImageHolds;
using test::HashBytes;

constexpr uint32_t kSeed = 1275317998;  // 2010-05-31 14:59:58 UTC

// Receives the sectors of one build: keeps them all, or only those that
// `keep` accepts (numbered as handed over); always counts.
struct SectorCapture {
    std::vector<uint8_t> bytes;
    std::map<uint32_t, std::vector<uint8_t>> kept;
    std::function<bool(uint32_t)> keep;
    uint64_t count = 0;
    uint64_t stopAt = ~uint64_t(0);  // asks for a stop after this many sectors

    static int Take(int kind, void* context, const uint8_t* data, uint32_t length) {
        auto* c = static_cast<SectorCapture*>(context);
        EXPECT_EQ(kind, 1);
        EXPECT_EQ(length, SectorSize);
        if (!c->keep) c->bytes.insert(c->bytes.end(), data, data + length);
        else if (c->keep(uint32_t(c->count))) c->kept[uint32_t(c->count)].assign(data, data + length);
        return ++c->count != c->stopAt;
    }
    // Plays the system's move of file data: read through the file, its last
    // sector filled up with zeros.
    static long long Move(void* context, InputFile& in, size_t length, bool&) {
        auto* c = static_cast<SectorCapture*>(context);
        std::vector<uint8_t> piece(length);
        FileError err;
        size_t got = 0;
        for (long long n; got < length && (n = in.Read(piece.data() + got, length - got, err)) > 0;) got += size_t(n);
        piece.resize(SectorsFor(got) * SectorSize);
        c->bytes.insert(c->bytes.end(), piece.begin(), piece.end());
        c->count += piece.size() / SectorSize;
        return (long long)got;
    }
    const uint8_t* Sector(uint32_t n) const { return bytes.data() + size_t(n) * SectorSize; }
};

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override { fake.AddFolder("/src").mtime = kSeed; }

    // Lays the source out and checks the names; the caller writes.
    void Prepare(FileSystemType kind) {
        b.MutableRequest().kind = kind;
        b.MutableRequest().seedSeconds = kSeed;
        ASSERT_TRUE(b.Layout());
        ASSERT_EQ(b.CheckNames(), 0) << messages.JoinedText();
        b.SetSectorCallback(&SectorCapture::Take, &out);
    }
    std::vector<uint8_t> Build(FileSystemType kind) {
        Prepare(kind);
        EXPECT_TRUE(b.WriteImage()) << messages.JoinedText();
        EXPECT_EQ(out.bytes.size(), size_t(b.m_dwTotalSectors) * SectorSize);
        return out.bytes;
    }
    test::TzScope tz{"JST-9"};
    FakePlatform fake;
    JobMessages messages;
    test::TestBuilder b{fake, test::GoldenRequest("/src", FileSystemType::Joliet), messages};
    SectorCapture out;
};

// The empty image of each kind, every byte: the pinned hashes were taken
// after isoinfo, udfinfo and xorriso accepted the images and their structures
// were read back field by field. What the sectors hold:
//   joliet (25 sectors): primary and Joliet descriptors and terminator at
//     16-18, then the path tables and root folders.
//   udf (272): BEA01, NSR02, TEA01 at 16-18; the volume descriptor sequence
//     (six descriptors) at 32-37 and its reserve at 48-53; integrity at 64
//     and its terminator at 65; anchor at 256; partition from 257: file set
//     descriptor and terminator (blocks 0, 1), the root's entry and
//     identifiers (2, 3); the last anchor at 271.
//   bridge (288): ISO descriptors at 16-18, recognition at 19-21, sequence at
//     32-37, integrity 64-65, anchor 256, partition blocks 0-3 at 257-260, the
//     ISO 9660 and Joliet structures from 261, then the reserve sequence at
//     267-272 (sectors 48 to 63 stay zero: 7-Zip ends a UDF volume at its
//     last sequence and reports whatever follows as data after the archive);
//     the last anchor at 287.
TEST_F(WriterTest, EmptyImages) {
    const std::pair<FileSystemType, const char*> cases[] = {
        {FileSystemType::Joliet, "0e9d5f6e43f60ded"},
        {FileSystemType::Udf, "6c542b593ad08fba"},
        {FileSystemType::UdfBridge, "ff3890358938cb1a"},
    };
    for (const auto& [kind, hash] : cases) {
        SCOPED_TRACE(int(kind));
        out = SectorCapture();
        std::vector<uint8_t> image = Build(kind);
        ExpectImageHolds(image, kind, {});
        EXPECT_EQ(HashBytes(image), hash);
    }
}

// Data at sector ends, files that changed between the scan and the copy, in
// every kind: each file gets exactly its scanned size, the image is written
// to its end, and the changed files fail the build by name.
TEST_F(WriterTest, FileDataKeepsTheScannedSizes) {
    std::string pattern(5000, '\0');
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = char('a' + i % 23);
    fake.AddFile("/src/empty", "");
    fake.AddFile("/src/odd.bin", pattern.substr(0, 2049));
    FakeNode& grows = fake.AddFile("/src/sub/grows.txt", pattern);  // sizes below: the rest of the content is unread
    FakeNode& shrinks = fake.AddFile("/src/sub/shrinks.txt", pattern);
    // More to read than the size says: a /proc file (size 0), and one past
    // the first piece a reader reads ahead.
    fake.AddFile("/src/sub/proc", "").tail = "processor : 0";
    FakeNode& longer = fake.AddFile("/src/sub/longer.bin", "");
    longer.size = 300000;
    longer.tail = "x";
    // The bridge moves file data past the first piece as the system does
    // where it can (copy_file_range): the same bytes, the same reports.
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::UdfBridge, FileSystemType::Udf}) {
        SCOPED_TRACE(int(kind));
        out = SectorCapture();
        grows.size = 3000;
        shrinks.size = 300000;
        Prepare(kind);
        b.SetMoveCallback(kind == FileSystemType::UdfBridge ? &SectorCapture::Move : nullptr);
        grows.size = 5000;  // after the scan
        shrinks.size = 150001;
        messages.Clear();
        EXPECT_FALSE(b.WriteImage());
        EXPECT_EQ(messages.JoinedText(), "/src/sub/grows.txt\nファイルが読み取り中に変更されました。\n"
                                                 "/src/sub/longer.bin\nファイルが読み取り中に変更されました。\n"
                                                 "/src/sub/proc\nファイルが読み取り中に変更されました。\n"
                                                 "/src/sub/shrinks.txt\nファイルが読み取り中に変更されました。");
        ASSERT_EQ(out.bytes.size(), size_t(b.m_dwTotalSectors) * SectorSize);
        // Files in entry order: an empty file's sector is zero, so is the rest of odd.bin's second.
        auto zeros = [](const uint8_t* p, size_t n) { return std::all_of(p, p + n, [](uint8_t v) { return v == 0; }); };
        EXPECT_TRUE(zeros(out.Sector(b.m_files[0]->m_dwIsoSector), SectorSize));
        EXPECT_TRUE(zeros(out.Sector(b.m_files[1]->m_dwIsoSector + 1) + 1, SectorSize - 1));
        ExpectImageHolds(out.bytes, kind, {{"empty", ""}, {"odd.bin", pattern.substr(0, 2049)}, {"sub/grows.txt", pattern.substr(0, 3000)},
                                           {"sub/longer.bin", std::string(300000, '\0')}, {"sub/proc", ""},
                                           {"sub/shrinks.txt", pattern + std::string(295000, '\0')}});
    }
}

// Larger than 4 GiB: sectors are counted, not stored; UDF alone describes it
// (its descriptors are pinned in the file entry tests).
TEST_F(WriterTest, FiveGibibyteFileInUdf) {
    const uint64_t size = 5ull << 30;
    fake.AddFile("/src/a.txt", "small");
    fake.AddFile("/src/huge.bin", "").size = size;
    Prepare(FileSystemType::Udf);
    const CFileEntry* huge = b.m_files[1];
    ASSERT_EQ(huge->m_strName, "huge.bin");
    const uint32_t first = huge->m_dwIsoSector, end = first + uint32_t(size / SectorSize);
    out.keep = [&](uint32_t n) { return n < first || n >= end; };
    ASSERT_TRUE(b.WriteImage());
    EXPECT_EQ(std::tuple(out.count, b.m_dwTotalSectors), std::tuple(uint64_t(end + 16 - end % 16), end + 16 - end % 16));
    const std::vector<uint8_t>& fe = out.kept[b.m_dwUdfPartitionStart + huge->m_dwUdfEntryBlock];
    ASSERT_EQ(fe.size(), SectorSize);
    // A file entry (tag 261) and its information length; its extents: the file entry tests.
    EXPECT_EQ(std::tuple(GetLE16(fe.data()), GetLE64(fe.data() + 56)), std::tuple(261, size));
}

// 2,000 files of random sizes read ahead by one reader or by eight give the
// same bytes; a stop while readers wait for room ends after whole sectors.
// (A file that fails amid read-ahead: the runner's failure test.)
TEST_F(WriterTest, ReadAheadChangesNoByte) {
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string data(random() % (3 * SectorSize + 8), '\0');
        for (char& c : data) c = char(random());
        fake.AddFile("/src/d" + std::to_string(i % 40) + "/f" + std::to_string(i), data);
    }
    std::vector<uint8_t> image[2];
    for (unsigned n : {1u, 8u}) {
        out = SectorCapture();
        b.MutableRequest().readers = n;
        image[n > 1] = Build(FileSystemType::UdfBridge);
    }
    EXPECT_TRUE(image[0] == image[1]);
    out = SectorCapture();
    Prepare(FileSystemType::UdfBridge);
    out.stopAt = b.m_files[100]->m_dwIsoSector + 1;
    EXPECT_FALSE(b.WriteImage());
    EXPECT_EQ(out.count, out.stopAt);
}

// Under a low open-file limit the readers keep fewer files open ahead, and
// leave room for the rest of the program (met for real by the command line
// under a limit of 64).
TEST(ReadAhead, WindowFollowsTheRoomLeft) {
    EXPECT_EQ(std::tuple(ReadAhead::WindowFor(SIZE_MAX), ReadAhead::WindowFor(ReadAhead::kSpareFiles + 10), ReadAhead::WindowFor(3)),
              std::tuple(ReadAhead::kWindow, 10u, 1u));
}

// When the writer and the layout disagree, the build ends at the first
// sector out of place with the internal error text: never a shifted image.
TEST_F(WriterTest, PlanMismatchEndsTheBuild) {
    fake.AddFile("/src/a.txt", "alpha");
    fake.AddFile("/src/sub/b.txt", "beta");
    auto sub = [](ImageBuilder& b) { return b.m_directories[1]; };
    const std::tuple<const char*, FileSystemType, std::function<void(ImageBuilder&)>> cases[] = {
        {"folder sector", FileSystemType::Joliet, [&](ImageBuilder& b) { ++sub(b)->m_dwJolietSector; }},
        {"folder size", FileSystemType::Joliet, [](ImageBuilder& b) { b.m_root.m_nIsoSize += SectorSize; }},
        {"udf folder size", FileSystemType::Udf, [&](ImageBuilder& b) { sub(b)->m_nUdfSize += SectorSize; }},
        {"file entry", FileSystemType::Udf, [](ImageBuilder& b) { ++b.m_files[0]->m_dwUdfEntryBlock; }},
        {"file data", FileSystemType::UdfBridge, [](ImageBuilder& b) { --b.m_files[1]->m_dwIsoSector; }},
        {"extent length", FileSystemType::Joliet, [](ImageBuilder& b) {
             ++b.m_plan.back().length;
             ++b.m_dwTotalSectors;
         }},
    };
    for (const auto& [what, kind, tamper] : cases) {
        SCOPED_TRACE(what);
        messages.Clear();
        out = SectorCapture();
        Prepare(kind);
        tamper(b);
        EXPECT_FALSE(b.WriteImage());
        ASSERT_EQ(messages.Entries().size(), 1u);
        const std::string text = messages.Entries()[0].Text();
        // Nothing past the sector where the plan broke was handed over.
        EXPECT_EQ(text.rfind("イメージの配置に内部エラーが発生しました。\n(セクタ " + std::to_string(out.count) + "、", 0), 0u) << text;
        EXPECT_LT(out.count, uint64_t(b.m_dwTotalSectors));
    }
}

}  // namespace
}  // namespace pm
