// The UDF reader on an image of the layout and writer, and on damaged copies
// of it: each damage must be caught and named, so that a clean read means
// something. (Outside readers take our images in the interop suite.)
#include "reader/UdfReader.h"
#include "messages/JobMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "iso9660/IsoTestSupport.h"
#include "disc/OnDisc.h"
#include "udf/Primitives.h"

namespace pm::test {
namespace {

using Img = std::vector<uint8_t>;

// An empty file, a multi-block file, nesting, a Japanese name and a folder
// whose identifiers run over a block boundary (40 + 40 * 56 bytes).
struct Written {
    Written() {
        for (int i = 0; i < 40; ++i) files["many/f" + std::to_string(100000 + i)] = std::to_string(i);
        for (const auto& [path, content] : files) fake.AddFile("/src/" + path, content);
        image = WriteToMemory(b);
    }
    TzScope tz{"JST-9"};
    std::map<std::string, std::string> files = {
        {"a.txt", "hello"}, {"empty", ""}, {"sub/big.bin", std::string(5000, 'b')}, {"sub/深い/日本語.txt", "x"}};
    FakePlatform fake;
    JobMessages messages;
    ImageBuilder b{fake, GoldenRequest("/src", FileSystemType::Udf), messages};
    Img image;
};

// A clean image reads back whole; in each damaged copy the tag is rewritten
// after the change, so that only the change itself is wrong.
TEST(UdfReader, NamesEachDamage) {
    Written w;
    ExpectImageHolds(w.image, FileSystemType::Udf, w.files);
    MemorySource cleanSource(w.image);
    UdfReader clean(cleanSource);
    ASSERT_TRUE(clean.Read()) << clean.ProblemText();
    EXPECT_FALSE(clean.ReadFile("/sub") || clean.ReadFile("/missing"));
    const uint32_t last = uint32_t(w.image.size() / 2048 - 1), dir = clean.Find("/many")->extents[0].block;
    const uint32_t empty = clean.Find("/empty")->entryBlock;
    auto sector = [](Img& img, uint32_t n) { return img.data() + size_t(n) * 2048; };
    auto block = [&](Img& img, uint32_t b) { return sector(img, 257 + b); };
    auto retag = [](uint8_t* d) { FillTag(d, GetLE16(d), GetLE32(d + 12), uint16_t(16 + GetLE16(d + 10))); };
    const std::pair<std::string, std::function<void(Img&)>> cases[] = {
        {"CRC mismatch", [&](Img& i) { block(i, 2)[300] ^= 1; }},
        {"tag checksum", [&](Img& i) { sector(i, 256)[4] ^= 1; }},
        {"tag location 7, found at 0", [&](Img& i) { PutLE32(block(i, 0) + 12, 7), retag(block(i, 0)); }},
        {"reserve descriptor 6 differs", [&](Img& i) { sector(i, 51)[85] ^= 1, retag(sector(i, 51)); }},
        {"integrity counts", [&](Img& i) { sector(i, 64)[120] += 1, retag(sector(i, 64)); }},
        {"link count 1, expected 3", [&](Img& i) { PutLE16(block(i, 2) + 48, 1), retag(block(i, 2)); }},
        {"no anchor at sector", [&](Img& i) { std::memset(sector(i, last), 0, 2048); }},
        {"unique id 16 used twice", [&](Img& i) { PutLE32(block(i, empty) + 160, 16), retag(block(i, empty)); }},
        // The identifier that runs over into the second block names the first.
        {"tag location " + std::to_string(dir + 1) + ", found at " + std::to_string(dir),
         [&](Img& i) { PutLE32(block(i, dir) + 2000 + 12, dir + 1), retag(block(i, dir) + 2000); }},
    };
    for (const auto& [what, damage] : cases) {
        Img img = w.image;
        damage(img);
        MemorySource source(img);
        UdfReader r(source);
        EXPECT_TRUE(!r.Read() && r.ProblemText().find(what) != std::string::npos) << what << " not among:\n" << r.ProblemText();
    }
}

}  // namespace
}  // namespace pm::test
