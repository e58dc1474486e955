// The ISO 9660 reader on an image of our writer and on damaged copies of it:
// each damage must be caught and named. (Outside readers take our images in
// the interop suite.)
#include "reader/IsoReader.h"
#include "messages/JobMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "iso9660/DirectoryRecords.h"
#include "disc/OnDisc.h"

namespace pm::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Problems(const Bytes& image) { MemorySource source(image); return IsoReader(source).ProblemText(); }

// root/ A.TXT (3000 bytes), B/ Y/, DOCS/ README.TXT X/, EMPTY.BIN; folders
// numbered root 1, B 2, DOCS 3, Y 4, X 5.
struct Written {
    Written() {
        fake.AddFile("/src/A.TXT", std::string(3000, 'a')).content[2999] = 'z';
        fake.AddFile("/src/DOCS/README.TXT", "read me now");
        fake.AddFolder("/src/DOCS/X");
        fake.AddFolder("/src/B/Y");
        fake.AddFile("/src/EMPTY.BIN", "");
        image = WriteToMemory(b);
    }
    // The image with its ISO 9660 path tables written in another folder order.
    Bytes Reordered(std::vector<int> order) const {
        Bytes img = image;
        std::vector<CFileEntry*> dirs;
        for (int i : order) dirs.push_back(b.m_directories[size_t(i - 1)]);
        for (size_t i = 0; i < dirs.size(); ++i) dirs[i]->m_wDirNumber = uint16_t(i + 1);
        WriteIsoPathTableL(dirs, img.data() + b.m_dwIsoPathTableL * 2048);
        WriteIsoPathTableM(dirs, img.data() + b.m_dwIsoPathTableM * 2048);
        return img;
    }
    // A.TXT recorded in two sections (2048 + 952 bytes), the second `shift`
    // sectors off where the first ends; the later records move up.
    Bytes Split(int shift) const {
        Bytes img = image;
        uint8_t* d = &img[b.m_root.m_dwIsoSector * 2048 + 68];
        std::memmove(d + 80, d + 40, 116);
        std::memcpy(d + 40, d, 40);
        d[25] |= 0x80;
        PutBoth32(d + 10, 2048);
        PutBoth32(d + 42, uint32_t(int(GetLE32(d + 2)) + 1 + shift));
        PutBoth32(d + 50, 952);
        return img;
    }
    FakePlatform fake;
    JobMessages messages;
    ImageBuilder b{fake, GoldenRequest("/src", FileSystemType::Joliet), messages};
    Bytes image;
};

// A clean image reads back whole; each damage is named.
TEST(IsoReader, NamesEachDamage) {
    Written w;
    ExpectImageHolds(w.image, FileSystemType::Joliet,
                     {{"A.TXT", w.fake.Find("/src/A.TXT")->content}, {"DOCS/README.TXT", "read me now"}, {"EMPTY.BIN", ""}});
    const uint32_t root = w.b.m_root.m_dwIsoSector, docs = w.b.m_directories[2]->m_dwIsoSector;
    const uint32_t tableL = w.b.m_dwIsoPathTableL, first = root * 2048 + 68;  // A.TXT
    const std::pair<std::string, std::function<void(Bytes&)>> cases[] = {
        {"type L and type M path tables differ", [&](Bytes& i) { PutBE32(&i[16 * 2048 + 148], tableL); }},
        {"\"A.TXT\" lies outside the volume", [&](Bytes& i) { PutBoth32(&i[first + 2], uint32_t(i.size() / 2048)); }},
        {"both-byte halves differ", [&](Bytes& i) { PutBE32(&i[first + 10 + 4], 3001); }},
        {"\"..\" does not describe its parent", [&](Bytes& i) { PutBoth32(&i[docs * 2048 + 34 + 2], docs); }},
        {"crosses the sector end", [&](Bytes& i) {  // README's 46-byte record repeated up to byte 2046
             for (uint32_t off = 68 + 46; off + 46 <= 2048; off += 46) std::memcpy(&i[docs * 2048 + off], &i[docs * 2048 + 68], 46);
             i[docs * 2048 + 2046] = 46;
         }},
        {"no Joliet supplementary volume descriptor", [&](Bytes& i) { std::memset(&i[17 * 2048 + 88], 0, 3); }},
        {"exceeds the image", [&](Bytes& i) { i.resize(i.size() - 2048); }},
        // A file in two sections that do not follow one another, or one flagged to go on that does not.
        {"does not start where the one before ends", [&](Bytes& i) { i = w.Split(1); }},
        {"does not start where the one before ends", [&](Bytes& i) { i = w.Split(-1); }},
        {"flagged multi-extent but this one is not its next section", [&](Bytes& i) { i[first + 25] |= 0x80; }},
    };
    for (const auto& [needle, damage] : cases) {
        Bytes img = w.image;
        damage(img);
        EXPECT_NE(Problems(img).find(needle), std::string::npos) << needle << "\n" << Problems(img);
    }
    EXPECT_EQ(Problems(w.Split(0)), "");  // two sections that follow one another are sound
    // Path-table order: depth-2 folders follow their parents' numbers, siblings their records.
    EXPECT_NE(Problems(w.Reordered({1, 2, 3, 5, 4})).find("entry 5: parent numbers out of order"), std::string::npos);
    EXPECT_NE(Problems(w.Reordered({1, 3, 2, 5, 4})).find("subfolders of \"/\" differs"), std::string::npos);
    EXPECT_NE(Problems(w.Reordered({1, 2, 4, 3, 5})).find("entry 4: listed after a deeper"), std::string::npos);
}

}  // namespace
}  // namespace pm::test
