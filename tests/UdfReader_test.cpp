#include "UdfReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include <unistd.h>

#include "udf/Bytes.h"
#include "udf/Primitives.h"
#include "UdfHandImage.h"

namespace pm::test {
namespace {

namespace fs = std::filesystem;
using namespace udfle;

std::string Pattern(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = char((i * 31 + seed) & 0xFF);
    return s;
}

std::vector<uint8_t> AsBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

// A tree with an empty file, a multi-block file, nesting, a Japanese name and
// a folder whose identifiers run over a block boundary.
void Populate(UdfHandImage& h) {
    h.Add(nullptr, "a.txt", false, "hello");
    h.Add(nullptr, "empty", false, "");
    CFileEntry* sub = h.Add(nullptr, "sub", true);
    h.Add(sub, "big.bin", false, Pattern(5000, 1));
    CFileEntry* deeper = h.Add(sub, "深い", true);
    h.Add(deeper, "日本語.txt", false, "x");
    CFileEntry* many = h.Add(nullptr, "many", true);
    for (int i = 0; i < 40; ++i) h.Add(many, "f" + std::to_string(100000 + i), false, std::to_string(i));
}

TEST(UdfReader, ReadsHandBuiltImage) {
    UdfHandImage h;
    Populate(h);
    UdfReader r(h.Build());
    ASSERT_TRUE(r.Read()) << r.ProblemText();

    EXPECT_EQ(r.Nodes().size(), 1u + 3 + 2 + 1 + 1 + 40);
    const UdfFacts& f = r.Facts();
    EXPECT_EQ(f.partitionStart, 257u);
    EXPECT_EQ(f.partitionLength, h.m_layout.m_dwUdfPartitionLength);
    EXPECT_EQ(f.integrityFiles, 44u);
    EXPECT_EQ(f.integrityDirs, 4u);
    EXPECT_EQ(f.nextUniqueId, 16u + 47);
    EXPECT_EQ(f.volumeId, "HANDMADE");
    EXPECT_EQ(f.fileSetId, "HANDMADE");
    EXPECT_EQ(f.logicalVolumeId, "HANDMADE");
    EXPECT_EQ(f.volumeSetId.size(), 24u);
    EXPECT_EQ(f.volumeSetId.substr(16), "HANDMADE");
    EXPECT_EQ(f.implementationId, "*parumero test");

    const UdfNode* root = r.Find("/");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->linkCount, 3);
    EXPECT_EQ(root->uniqueId, 0u);
    EXPECT_EQ(r.ReadFile("/a.txt"), AsBytes("hello"));
    EXPECT_EQ(r.ReadFile("/empty"), AsBytes(""));
    EXPECT_EQ(r.ReadFile("/sub/big.bin"), AsBytes(Pattern(5000, 1)));
    EXPECT_EQ(r.ReadFile("/sub/深い/日本語.txt"), AsBytes("x"));
    EXPECT_EQ(r.ReadFile("/many/f100039"), AsBytes("39"));
    ASSERT_TRUE(r.Find("/many"));
    EXPECT_EQ(r.Find("/many")->size, 40u + 40 * 56);  // two blocks of identifiers
    EXPECT_FALSE(r.ReadFile("/sub"));
    EXPECT_FALSE(r.ReadFile("/missing"));
}

TEST(UdfReader, EmptyTreeImage) {
    UdfHandImage h;
    std::vector<uint8_t> image = h.Build();
    EXPECT_EQ(image.size(), 272u * 2048);  // root entry 259, identifiers 260, anchor 271
    EXPECT_EQ(h.m_layout.m_dwUdfPartitionLength, 4u);
    UdfReader r(image);
    ASSERT_TRUE(r.Read()) << r.ProblemText();
    ASSERT_EQ(r.Nodes().size(), 1u);
    EXPECT_EQ(r.Nodes()[0].size, 40u);
}

// Rewrites a descriptor's tag after a change, so that only the change itself
// is wrong.
void Retag(uint8_t* d) { FillTag(d, GetLE16(d), GetLE32(d + 12), uint16_t(16 + GetLE16(d + 10))); }

TEST(UdfReader, ReportsDamage) {
    UdfHandImage h;
    Populate(h);
    const std::vector<uint8_t> good = h.Build();
    auto sector = [](std::vector<uint8_t>& img, uint32_t n) { return img.data() + size_t(n) * 2048; };
    auto block = [&](std::vector<uint8_t>& img, uint32_t b) { return sector(img, 257 + b); };
    const uint32_t last = uint32_t(good.size() / 2048 - 1);
    const CFileEntry* a = h.m_root.m_children[0].get();
    const CFileEntry* many = h.m_root.m_children[3].get();

    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"CRC mismatch", [&](auto& img) { block(img, 2)[300] ^= 1; }},
        {"tag checksum", [&](auto& img) { sector(img, 256)[4] ^= 1; }},
        {"tag location 7", [&](auto& img) { PutLE32(block(img, 0) + 12, 7), Retag(block(img, 0)); }},
        {"reserve descriptor 6 differs", [&](auto& img) { sector(img, 51)[85] ^= 1, Retag(sector(img, 51)); }},
        {"integrity counts", [&](auto& img) { sector(img, 64)[120] += 1, Retag(sector(img, 64)); }},
        {"next unique id", [&](auto& img) { PutLE32(sector(img, 64) + 40, 18), Retag(sector(img, 64)); }},
        {"link count 1, expected 3", [&](auto& img) { PutLE16(block(img, 2) + 48, 1), Retag(block(img, 2)); }},
        {"no anchor at sector", [&](auto& img) { std::memset(sector(img, last), 0, 2048); }},
        {"leaves the partition",
         [&](auto& img) {
             uint8_t* e = block(img, a->m_dwUdfEntryBlock);
             PutLE32(e + 312, 90000), Retag(e);
         }},
        {"implementation attribute checksum",
         [&](auto& img) {
             uint8_t* e = block(img, a->m_dwUdfEntryBlock);
             e[176 + 30] = 1, Retag(e);  // a reserved byte of the first attribute
         }},
        {"unique id 16 used twice",
         [&](auto& img) {
             uint8_t* e = block(img, h.m_root.m_children[1]->m_dwUdfEntryBlock);
             PutLE32(e + 160, 16), Retag(e);
         }},
        // The identifier that runs over into the second block must name the
        // first one.
        {"tag location 1",
         [&](auto& img) {
             uint8_t* fid = block(img, many->m_dwUdfDataBlock) + 2000;
             PutLE32(fid + 12, many->m_dwUdfDataBlock + 1), Retag(fid);
         }},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> img = good;
        c.damage(img);
        UdfReader r(img);
        EXPECT_FALSE(r.Read()) << c.what;
        EXPECT_NE(r.ProblemText().find(c.what), std::string::npos) << c.what << " not among:\n" << r.ProblemText();
    }
}

// Independent writers, so that the reader does not only agree with ours.
class UdfReaderExternal : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("udfreader-" + std::to_string(::getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir / "src" / "sub" / "深い");
    }
    void TearDown() override { fs::remove_all(m_dir); }
    void Write(const fs::path& p, const std::string& data) { std::ofstream(m_dir / "src" / p, std::ios::binary) << data; }
    bool Run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }
    fs::path m_dir;
};

TEST_F(UdfReaderExternal, GenisoimageUdf) {
    if (!Run("command -v genisoimage")) GTEST_SKIP() << "genisoimage is not installed";
    Write("a.txt", "hello");
    Write("empty", "");
    Write("sub/big.bin", Pattern(70000, 3));
    Write("sub/深い/日本語.txt", "x");
    std::string image = (m_dir / "g.iso").string();
    ASSERT_TRUE(Run("genisoimage -quiet -input-charset utf-8 -J -udf -V GENISO -o '" + image + "' '" +
                    (m_dir / "src").string() + "'"));
    UdfReader r(UdfReader::LoadFile(image));
    r.m_reserveMayDifferInVolumeSetId = true;  // it draws the identifier per copy
    ASSERT_TRUE(r.Read()) << r.ProblemText();
    EXPECT_EQ(r.Facts().logicalVolumeId, "GENISO");
    EXPECT_EQ(r.Nodes().size(), 7u);
    EXPECT_EQ(r.ReadFile("/a.txt"), AsBytes("hello"));
    EXPECT_EQ(r.ReadFile("/empty"), AsBytes(""));
    EXPECT_EQ(r.ReadFile("/sub/big.bin"), AsBytes(Pattern(70000, 3)));
    EXPECT_EQ(r.ReadFile("/sub/深い/日本語.txt"), AsBytes("x"));
    ASSERT_TRUE(r.Find("/sub"));
    EXPECT_TRUE(r.Find("/sub")->isDir);
}

TEST_F(UdfReaderExternal, MkudffsEmptyVolumes) {
    if (!Run("command -v mkudffs")) GTEST_SKIP() << "mkudffs is not installed";
    for (const char* revision : {"1.02", "2.01"}) {
        std::string image = (m_dir / (std::string("m") + revision + ".img")).string();
        ASSERT_TRUE(Run(std::string("mkudffs --new-file --media-type=hd -b 2048 --label=MKUDF --udfrev=") + revision +
                        " '" + image + "' 2000"));
        UdfReader r(UdfReader::LoadFile(image));
        EXPECT_TRUE(r.Read()) << revision << "\n" << r.ProblemText();
        EXPECT_EQ(r.Facts().volumeId, "MKUDF");
        ASSERT_EQ(r.Nodes().size(), 1u);
        EXPECT_TRUE(r.Nodes()[0].isDir);
        EXPECT_EQ(r.Facts().integrityDirs, 1u);
    }
}

}  // namespace
}  // namespace pm::test
