// The test reader on images assembled from our encoders, on damaged copies of
// them, and on an image from genisoimage (an independent writer).
#include "IsoReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "iso9660/DirectoryRecords.h"
#include "iso9660/IsoTestSupport.h"
#include "iso9660/Numbers.h"
#include "iso9660/VolumeDescriptors.h"
#include "layout/ImageBuilder.h"
#include "settings/VolumeInfo.h"

namespace pm::test {
namespace {


// The bytes a test file holds: a pattern that differs per file.
Bytes Content(const CFileEntry& f) {
    Bytes b(f.m_nIsoSize);
    for (size_t i = 0; i < b.size(); ++i) b[i] = uint8_t(i * 7 + f.m_strShortName.size());
    return b;
}

// Lays a hand-made tree out the way the layout does (descriptors, ISO 9660
// path tables and directories, the same for Joliet, then file data) and fills
// every structure with our encoders. `dirs` is the path-table order.
Bytes AssembleImage(CFileEntry& root, const std::vector<CFileEntry*>& dirs) {
    std::vector<CFileEntry*> files;
    std::vector<CFileEntry*> stack = {&root};
    while (!stack.empty()) {
        CFileEntry* d = stack.back();
        stack.pop_back();
        for (auto& c : d->m_children) (c->m_bDirectory ? stack : files).push_back(c.get());
    }
    auto dirSize = [](const CFileEntry& d, bool joliet) {
        uint32_t used = 68, limit = 2048;
        for (auto& c : d.m_children) {
            uint32_t r = joliet ? JolietRecordLength(*c) : IsoRecordLength(*c);
            if (used + r > limit) used = limit, limit += 2048;
            used += r;
        }
        return limit;
    };
    Bytes table(2048 * 4, 0);
    ImageLayout layout;
    for (size_t i = 0; i < dirs.size(); ++i) dirs[i]->m_wDirNumber = uint16_t(i + 1);
    uint32_t s = 19;
    layout.m_dwIsoPathTableSize = WriteIsoPathTableL(dirs, table.data());
    layout.m_dwIsoPathTableL = s++;
    layout.m_dwIsoPathTableM = s++;
    for (CFileEntry* d : dirs) d->m_dwIsoSector = s, d->m_nIsoSize = dirSize(*d, false), s += d->m_nIsoSize / 2048;
    layout.m_dwJolietPathTableSize = WriteJolietPathTableL(dirs, table.data());
    layout.m_dwJolietPathTableL = s++;
    layout.m_dwJolietPathTableM = s++;
    for (CFileEntry* d : dirs) d->m_dwJolietSector = s, d->m_nJolietSize = dirSize(*d, true), s += d->m_nJolietSize / 2048;
    for (CFileEntry* f : files) {
        f->m_dwIsoSector = f->m_dwJolietSector = s;
        f->m_nJolietSize = f->m_nIsoSize;
        s += f->m_nIsoSize ? uint32_t((f->m_nIsoSize + 2047) / 2048) : 1;
    }
    layout.m_dwTotalSectors = s;

    Bytes image(size_t(s) * 2048, 0);
    auto at = [&](uint32_t sector) { return image.data() + size_t(sector) * 2048; };
    VolumeInfo info;
    info.Label = "HAND";
    FillIsoPrimaryDescriptor(at(16), layout, root, info);
    FillJolietDescriptor(at(17), layout, root, info);
    FillIsoDescriptorTerminator(at(18));
    WriteIsoPathTableL(dirs, at(layout.m_dwIsoPathTableL));
    WriteIsoPathTableM(dirs, at(layout.m_dwIsoPathTableM));
    WriteJolietPathTableL(dirs, at(layout.m_dwJolietPathTableL));
    WriteJolietPathTableM(dirs, at(layout.m_dwJolietPathTableM));
    for (CFileEntry* d : dirs) {
        WriteIsoDirectory(*d, at(d->m_dwIsoSector), 2048);
        WriteJolietDirectory(*d, at(d->m_dwJolietSector), 2048);
    }
    for (CFileEntry* f : files) {
        Bytes c = Content(*f);
        std::copy(c.begin(), c.end(), at(f->m_dwIsoSector));
    }
    return image;
}

// root/ A.TXT (3000 bytes), DOCS/ README.TXT (12 bytes), EMPTY.BIN (0 bytes)
//  16-18 descriptors, 19/20 ISO L/M, 21 ISO root, 22 ISO DOCS,
//  23/24 Joliet L/M, 25 Joliet root, 26 Joliet DOCS, 27-28 A.TXT,
//  29 EMPTY.BIN, 30 README.TXT: 31 sectors.
struct HandBuiltImage {
    HandBuiltImage() {
        root = MakeNode("", true);
        a = AddNode(*root, "A.TXT", false, 3000);
        a->m_wstrJoliet.Assign("長い名前.txt");
        docs = AddNode(*root, "DOCS", true);
        AddNode(*root, "EMPTY.BIN", false, 0);
        readme = AddNode(*docs, "README.TXT", false, 12);
        image = AssembleImage(*root, {root.get(), docs});
    }
    std::unique_ptr<CFileEntry> root;
    CFileEntry* a;
    CFileEntry* docs;
    CFileEntry* readme;
    Bytes image;
};

std::vector<std::string> Paths(const std::vector<IsoTreeEntry>& tree) {
    std::vector<std::string> v;
    for (const auto& e : tree) v.push_back(e.path + (e.isDir ? "/" : ""));
    return v;
}

TEST(IsoReader, ReadsAnImageOfOurEncoders) {
    HandBuiltImage h;
    IsoReader r(h.image);
    EXPECT_TRUE(r.Problems().empty()) << r.ProblemText();
    EXPECT_EQ(r.VolumeSpaceSize(), 31u);
    EXPECT_EQ(Paths(r.IsoTree()), (std::vector<std::string>{"A.TXT", "DOCS/", "EMPTY.BIN", "DOCS/README.TXT"}));
    EXPECT_EQ(Paths(r.JolietTree()),
              (std::vector<std::string>{"長い名前.txt", "DOCS/", "EMPTY.BIN", "DOCS/README.TXT"}));

    const IsoTreeEntry* a = r.Find(r.JolietTree(), "長い名前.txt");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->extent, 27u);
    EXPECT_EQ(a->size, 3000u);
    EXPECT_EQ(r.ReadFile(*a), Content(*h.a));
    const IsoTreeEntry* readme = r.Find(r.IsoTree(), "DOCS/README.TXT");
    ASSERT_TRUE(readme);
    EXPECT_EQ(readme->extent, 30u);
    EXPECT_EQ(r.ReadFile(*readme), Content(*h.readme));
    EXPECT_EQ(r.Find(r.IsoTree(), "EMPTY.BIN")->size, 0u);
}

// Damages one thing in a sound image and expects the reader to name it.
void ExpectProblem(Bytes image, const std::string& needle) {
    IsoReader r(std::move(image));
    EXPECT_NE(r.ProblemText().find(needle), std::string::npos) << "wanted \"" << needle << "\", got:\n" << r.ProblemText();
}

TEST(IsoReader, FindsDamage) {
    HandBuiltImage h;
    const uint32_t rootRecords = 21 * 2048 + 68;  // A.TXT, then DOCS, then EMPTY.BIN

    Bytes b = h.image;
    PutBE32(b.data() + 16 * 2048 + 148, 19);  // type M location points at the type L table
    ExpectProblem(b, "type L and type M path tables differ");

    b = h.image;
    PutBoth32(b.data() + rootRecords + 2, 31);  // A.TXT starts at the end of the volume
    ExpectProblem(b, "\"A.TXT\" lies outside the volume");

    b = h.image;
    PutBE32(b.data() + rootRecords + 10 + 4, 3001);  // only one half of the size changed
    ExpectProblem(b, "both-byte halves differ");

    b = h.image;
    PutBoth32(b.data() + 22 * 2048 + 34 + 2, 22);  // DOCS/.. names DOCS itself
    ExpectProblem(b, "\"..\" does not describe its parent");

    b = h.image;
    b[22 * 2048 + 34 + 33] = 0;  // DOCS has two "." records
    ExpectProblem(b, "expected the \"..\" record");

    b = h.image;
    for (uint32_t off = 68 + 46; off + 46 <= 2048; off += 46)  // more README records up to 2046
        std::memcpy(b.data() + 22 * 2048 + off, b.data() + 22 * 2048 + 68, 46);
    b[22 * 2048 + 2046] = 46;
    ExpectProblem(b, "crosses the sector end");

    b = h.image;
    b[19 * 2048 + 10 + 6] = 2;  // DOCS names itself as parent, type L
    b[20 * 2048 + 10 + 7] = 2;  // and type M
    ExpectProblem(b, "parent number 2 does not precede it");

    b = h.image;
    PutLE32(b.data() + 23 * 2048 + 10 + 2, 21);  // Joliet table points DOCS at the ISO root
    PutBE32(b.data() + 24 * 2048 + 10 + 2, 21);
    ExpectProblem(b, "Joliet path table entry 2: no directory at extent 21");

    b = h.image;
    std::memset(b.data() + 17 * 2048 + 88, 0, 3);  // no Joliet escape
    ExpectProblem(b, "no Joliet supplementary volume descriptor");

    b = h.image;
    std::memset(b.data() + 18 * 2048, 0, 2048);
    ExpectProblem(b, "descriptor at sector 18: no CD001");

    b = h.image;
    b.resize(30 * 2048);
    ExpectProblem(b, "volume space size 31 exceeds the image");
}

TEST(IsoReader, FindsPathTableOrderFaults) {
    // root/ A/ X/, B/ Y/: in path-table order the depth-2 folders must follow
    // their parents' numbers, and siblings the order of their records.
    auto root = MakeNode("", true);
    CFileEntry* a = AddNode(*root, "A", true);
    CFileEntry* b = AddNode(*root, "B", true);
    CFileEntry* x = AddNode(*a, "X", true);
    CFileEntry* y = AddNode(*b, "Y", true);
    IsoReader good(AssembleImage(*root, {root.get(), a, b, x, y}));
    EXPECT_TRUE(good.Problems().empty()) << good.ProblemText();
    ExpectProblem(AssembleImage(*root, {root.get(), a, b, y, x}), "ISO 9660 path table entry 5: parent numbers out of order");
    ExpectProblem(AssembleImage(*root, {root.get(), b, a, y, x}), "subfolders of \"/\" differs from their directory records");
    ExpectProblem(AssembleImage(*root, {root.get(), a, x, b, y}), "entry 4: listed after a deeper directory");
}

TEST(IsoReader, ReadsAGenisoimageImage) {
    const char* tool = "/usr/bin/genisoimage";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "genisoimage is not installed";
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("pm_isoreader_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "src" / "docs" / "deep");
    auto write = [](const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; };
    write(dir / "src" / "readme.txt", "top level");
    write(dir / "src" / "docs" / "日本語の名前.txt", std::string(5000, 'j'));
    write(dir / "src" / "docs" / "deep" / "empty.bin", "");
    fs::create_directories(dir / "src" / "other");
    write(dir / "src" / "other" / "b.dat", "bbb");
    fs::path iso = dir / "out.iso";
    std::string cmd = std::string(tool) + " -quiet -J -input-charset utf-8 -V GENISO -o '" + iso.string() + "' '" +
                      (dir / "src").string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    IsoReader r = IsoReader::FromFile(iso.string());
    EXPECT_TRUE(r.Problems().empty()) << r.ProblemText();
    const IsoTreeEntry* j = r.Find(r.JolietTree(), "docs/日本語の名前.txt");
    ASSERT_TRUE(j) << testing::PrintToString(Paths(r.JolietTree()));
    EXPECT_EQ(r.ReadFile(*j), Bytes(5000, 'j'));
    ASSERT_TRUE(r.Find(r.JolietTree(), "docs/deep/empty.bin"));
    EXPECT_TRUE(r.Find(r.JolietTree(), "other/b.dat"));
    const IsoTreeEntry* i = r.Find(r.IsoTree(), "README.TXT");
    ASSERT_TRUE(i) << testing::PrintToString(Paths(r.IsoTree()));
    EXPECT_EQ(r.ReadFile(*i), Bytes({'t', 'o', 'p', ' ', 'l', 'e', 'v', 'e', 'l'}));
    EXPECT_TRUE(r.Find(r.IsoTree(), "DOCS/DEEP"));
    EXPECT_EQ(r.IsoTree().size(), r.JolietTree().size());
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pm::test
