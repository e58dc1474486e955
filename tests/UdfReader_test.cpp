// The UDF reader on a hand-built image, on damaged copies of it, and on images
// of independent writers, so that it does not only agree with ours.
#include "UdfReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "TempDir.h"
#include "UdfHandImage.h"
#include "iso9660/Numbers.h"
#include "udf/Primitives.h"

namespace pm::test {
namespace {

std::vector<uint8_t> Pattern(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 31 + 1);
    return v;
}
std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

// An empty file, a multi-block file, nesting, a Japanese name and a folder
// whose identifiers run over a block boundary.
struct Populated : UdfHandImage {
    Populated() {
        Add(nullptr, "a.txt", false, "hello");
        Add(nullptr, "empty", false, "");
        CFileEntry* sub = Add(nullptr, "sub", true);
        std::vector<uint8_t> big = Pattern(5000);
        Add(sub, "big.bin", false, std::string(big.begin(), big.end()));
        Add(Add(sub, "深い", true), "日本語.txt", false, "x");
        many = Add(nullptr, "many", true);
        for (int i = 0; i < 40; ++i) Add(many, "f" + std::to_string(100000 + i), false, std::to_string(i));
        image = Build();
    }
    CFileEntry* many;
    std::vector<uint8_t> image;
};

TEST(UdfReader, ReadsHandBuiltImage) {
    Populated h;
    UdfReader r(h.image);
    ASSERT_TRUE(r.Read()) << r.ProblemText();
    const UdfFacts& f = r.Facts();
    EXPECT_EQ(r.Nodes().size(), 1u + 3 + 2 + 1 + 1 + 40);
    EXPECT_EQ(f.partitionStart, 257u);
    EXPECT_EQ(f.partitionLength, h.m_layout.m_dwUdfPartitionLength);
    EXPECT_EQ(f.integrityFiles, 44u);
    EXPECT_EQ(f.integrityDirs, 4u);
    EXPECT_EQ(f.nextUniqueId, 16u + 47);
    EXPECT_EQ(f.volumeId + f.fileSetId + f.logicalVolumeId, "HANDMADEHANDMADEHANDMADE");
    EXPECT_EQ(f.volumeSetId.substr(16), "HANDMADE");
    EXPECT_EQ(f.implementationId, "*parumero test");
    EXPECT_EQ(r.Find("/")->linkCount, 3);
    EXPECT_EQ(r.ReadFile("/a.txt"), Bytes("hello"));
    EXPECT_EQ(r.ReadFile("/empty"), Bytes(""));
    EXPECT_EQ(r.ReadFile("/sub/big.bin"), Pattern(5000));
    EXPECT_EQ(r.ReadFile("/sub/深い/日本語.txt"), Bytes("x"));
    EXPECT_EQ(r.ReadFile("/many/f100039"), Bytes("39"));
    EXPECT_EQ(r.Find("/many")->size, 40u + 40 * 56);  // two blocks of identifiers
    EXPECT_FALSE(r.ReadFile("/sub") || r.ReadFile("/missing"));
}

// Each damage is caught and named; the tag is rewritten after a change, so
// that only the change itself is wrong.
TEST(UdfReader, ReportsDamage) {
    Populated h;
    const uint32_t last = uint32_t(h.image.size() / 2048 - 1), dir = h.many->m_dwUdfDataBlock;
    const uint32_t a = h.m_root.m_children[0]->m_dwUdfEntryBlock, empty = h.m_root.m_children[1]->m_dwUdfEntryBlock;
    auto sector = [](std::vector<uint8_t>& img, uint32_t n) { return img.data() + size_t(n) * 2048; };
    auto block = [&](std::vector<uint8_t>& img, uint32_t b) { return sector(img, 257 + b); };
    auto retag = [](uint8_t* d) { FillTag(d, GetLE16(d), GetLE32(d + 12), uint16_t(16 + GetLE16(d + 10))); };
    using Img = std::vector<uint8_t>;
    const std::pair<std::string, std::function<void(Img&)>> cases[] = {
        {"CRC mismatch", [&](Img& i) { block(i, 2)[300] ^= 1; }},
        {"tag checksum", [&](Img& i) { sector(i, 256)[4] ^= 1; }},
        {"tag location 7, found at 0", [&](Img& i) { PutLE32(block(i, 0) + 12, 7), retag(block(i, 0)); }},
        {"reserve descriptor 6 differs", [&](Img& i) { sector(i, 51)[85] ^= 1, retag(sector(i, 51)); }},
        {"integrity counts", [&](Img& i) { sector(i, 64)[120] += 1, retag(sector(i, 64)); }},
        {"next unique id", [&](Img& i) { PutLE32(sector(i, 64) + 40, 18), retag(sector(i, 64)); }},
        {"link count 1, expected 3", [&](Img& i) { PutLE16(block(i, 2) + 48, 1), retag(block(i, 2)); }},
        {"no anchor at sector", [&](Img& i) { std::memset(sector(i, last), 0, 2048); }},
        {"after the file set descriptor: tag location", [&](Img& i) { PutLE32(block(i, 1) + 12, 258), retag(block(i, 1)); }},
        {"leaves the partition", [&](Img& i) { PutLE32(block(i, a) + 312, 90000), retag(block(i, a)); }},
        // A reserved byte of the first extended attribute.
        {"implementation attribute checksum", [&](Img& i) { block(i, a)[176 + 30] = 1, retag(block(i, a)); }},
        {"unique id 16 used twice", [&](Img& i) { PutLE32(block(i, empty) + 160, 16), retag(block(i, empty)); }},
        // The identifier that runs over into the second block names the first.
        {"tag location " + std::to_string(dir + 1) + ", found at " + std::to_string(dir),
         [&](Img& i) { PutLE32(block(i, dir) + 2000 + 12, dir + 1), retag(block(i, dir) + 2000); }},
    };
    for (const auto& [what, damage] : cases) {
        Img img = h.image;
        damage(img);
        UdfReader r(img);
        EXPECT_FALSE(r.Read()) << what;
        EXPECT_NE(r.ProblemText().find(what), std::string::npos) << what << " not among:\n" << r.ProblemText();
    }
}

TEST(UdfReader, ReadsImagesOfOtherWriters) {
    TempDir t;
    t.Write("src/a.txt", "hello");
    t.Write("src/empty", "");
    t.Write("src/sub/深い/日本語.txt", "x");
    std::vector<uint8_t> big = Pattern(70000);
    t.Write("src/sub/big.bin", std::string(big.begin(), big.end()));
    auto run = [](const std::string& c) { return std::system((c + " >/dev/null 2>&1").c_str()) == 0; };
    if (!run("command -v genisoimage") || !run("command -v mkudffs")) GTEST_SKIP() << "genisoimage or mkudffs is missing";
    ASSERT_TRUE(run("genisoimage -input-charset utf-8 -J -udf -V GENISO -o " + t / "g.iso" + " " + t / "src"));
    UdfReader g(UdfReader::LoadFile(t / "g.iso"));
    g.m_reserveMayDifferInVolumeSetId = true;  // it draws the identifier per copy
    ASSERT_TRUE(g.Read()) << g.ProblemText();
    EXPECT_EQ(g.Facts().logicalVolumeId, "GENISO");
    EXPECT_EQ(g.Nodes().size(), 7u);
    EXPECT_EQ(g.ReadFile("/empty"), Bytes(""));
    EXPECT_EQ(g.ReadFile("/sub/big.bin"), big);
    EXPECT_EQ(g.ReadFile("/sub/深い/日本語.txt"), Bytes("x"));

    for (std::string revision : {"1.02", "2.01"}) {  // empty volumes
        ASSERT_TRUE(run("mkudffs --new-file --media-type=hd -b 2048 --label=MKUDF --udfrev=" + revision + " " + t / "m" + " 2000"));
        UdfReader m(UdfReader::LoadFile(t / "m"));
        EXPECT_TRUE(m.Read()) << revision << "\n" << m.ProblemText();
        EXPECT_EQ(m.Facts().volumeId, "MKUDF");
        EXPECT_EQ(m.Nodes().size(), 1u);
        std::remove((t / "m").c_str());
    }
}

}  // namespace
}  // namespace pm::test
