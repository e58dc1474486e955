#include "iso9660/DirectoryRecords.h"

#include <gtest/gtest.h>

#include <vector>

#include "iso9660/IsoTestSupport.h"
#include "iso9660/RockRidge.h"

namespace pm {
namespace {

using namespace test;

const Bytes kDate = {0x6E, 0x05, 0x1F, 0x17, 0x3B, 0x3A, 0x24};  // 2010-05-31 23:59:58 +9
const int64_t kWhen = Utc(2010, 5, 31, 14, 59, 58);

// One child in an otherwise empty folder: its record follows "." and "..",
// padded to an even length; the identifier of a file carries ";1".
TEST(DirectoryRecords, RecordsGolden) {
    TzScope tz{"JST-9"};
    const struct { bool joliet; std::string name; bool dir, hidden; uint64_t size; uint32_t sector; Bytes want; } cases[] = {
        {false, "README.TXT", false, false, 0x100000800ull, 0x1234,  // 4 GiB + 2 KiB: two sections, the first flagged
         Cat({{46, 0, 0x34, 0x12, 0, 0, 0, 0, 0x12, 0x34, 0, 0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xF8, 0}, kDate, {0x80, 0, 0, 1, 0, 0, 1, 12},
              Str("README.TXT;1"), {0},
              {46, 0, 0x33, 0x12, 0x20, 0, 0, 0x20, 0x12, 0x33, 0, 0x10, 0, 0, 0, 0, 0x10, 0}, kDate, {0, 0, 0, 1, 0, 0, 1, 12},
              Str("README.TXT;1"), {0}})},
        {false, "A", false, false, 0xFFFFFFFFull, 7,  // just under 4 GiB: one record, as ever
         Cat({{36, 0, 7, 0, 0, 0, 0, 0, 0, 7, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, kDate, {0, 0, 0, 1, 0, 0, 1, 3},
              Str("A;1")})},
        {false, "DOCS", true, true, 2048, 22,  // a hidden folder: no ";1", no dot
         Cat({{38, 0, 22, 0, 0, 0, 0, 0, 0, 22, 0, 8, 0, 0, 0, 0, 8, 0}, kDate, {3, 0, 0, 1, 0, 0, 1, 4}, Str("DOCS"), {0}})},
        {false, "ABC", false, true, 0, 0, Cat({{38, 0}, Bytes(16), kDate, {1, 0, 0, 1, 0, 0, 1, 5}, Str("ABC;1")})},
        {false, std::string(300, 'N'), false, false, 0, 0,  // cut to the 254-byte record
         Cat({{254, 0}, Bytes(16), kDate, {0, 0, 0, 1, 0, 0, 1, 221}, Bytes(219, 'N'), Str(";1")})},
        {true, "a.txt", false, false, 5, 30,
         Cat({{48, 0, 30, 0, 0, 0, 0, 0, 0, 30, 5, 0, 0, 0, 0, 0, 0, 5}, kDate, {0, 0, 0, 1, 0, 0, 1, 14}, Units("a.txt;1"), {0}})},
        {true, std::string(62, 'y'), false, false, 1, 26,  // 62 units: ";1" still fits in 128 bytes
         Cat({{162, 0, 26, 0, 0, 0, 0, 0, 0, 26, 1, 0, 0, 0, 0, 0, 0, 1}, kDate, {0, 0, 0, 1, 0, 0, 1, 128},
              Units(std::string(62, 'y') + ";1"), {0}})},
        {true, std::string(64, 'y'), false, false, 1, 26,  // 64 units: no ";1", never more than 128 bytes
         Cat({{162, 0, 26, 0, 0, 0, 0, 0, 0, 26, 1, 0, 0, 0, 0, 0, 0, 1}, kDate, {0, 0, 0, 1, 0, 0, 1, 128},
              Units(std::string(64, 'y')), {0}})},
        {true, std::string(63, 'y'), false, false, 1, 26,
         Cat({{160, 0, 26, 0, 0, 0, 0, 0, 0, 26, 1, 0, 0, 0, 0, 0, 0, 1}, kDate, {0, 0, 0, 1, 0, 0, 1, 126},
              Units(std::string(63, 'y')), {0}})},
        {true, std::string(64, 'x'), true, false, 2048, 25,
         Cat({{162, 0, 25, 0, 0, 0, 0, 0, 0, 25, 0, 8, 0, 0, 0, 0, 8, 0}, kDate, {2, 0, 0, 1, 0, 0, 1, 128},
              Units(std::string(64, 'x')), {0}})},
    };
    // "." and ".." of the root both describe the root, hidden bit included
    // (the ISO 9660 reader checks every folder's ".." in every image).
    const Bytes dot = Cat({{34, 0, 21, 0, 0, 0, 0, 0, 0, 21, 0, 8, 0, 0, 0, 0, 8, 0}, kDate, {3, 0, 0, 1, 0, 0, 1, 1, 0}});
    Bytes dotdot = dot;
    dotdot[33] = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto root = MakeNode("", true, 2048, 21);
        root->m_time = kWhen, root->m_bHidden = true;
        CFileEntry* n = AddNode(*root, c.name, c.dir, c.size, c.sector);
        n->m_time = kWhen, n->m_bHidden = c.hidden;
        EXPECT_EQ((c.joliet ? JolietRecordLength : IsoRecordLength)(*n) * SectionCount(c.size, c.dir), c.want.size());
        const auto write = c.joliet ? WriteJolietDirectory : WriteIsoDirectory;
        Bytes buf(2048, 0);
        ASSERT_EQ(write(*root, buf.data(), 2048), 68 + c.want.size());
        EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 68 + c.want.size()), Cat({dot, dotdot, c.want}));
        EXPECT_EQ(write(*n, buf.data(), 2048), c.dir ? 68u : 0u);  // a file has no extent
    }
}

// A record that would cross the sector end starts the next sector; one that
// ends exactly there stays. 68 + 49 records of 38 + 2 of 40 bytes = 2010.
TEST(DirectoryRecords, SectorBoundary) {
    for (bool fits : {true, false}) {
        auto root = MakeNode("", true);
        for (int i = 0; i < 49; ++i) AddNode(*root, "D" + std::to_string(100 + i), true);
        AddNode(*root, "F0000", false), AddNode(*root, "F0001", false);
        AddNode(*root, fits ? "LAST" : "LAST1", fits);  // a folder of 38 bytes, a file of 40
        Bytes buf(4096, 0);
        EXPECT_EQ(WriteIsoDirectory(*root, buf.data(), 2048), fits ? 2048u : 2048u + 40u);
        const size_t at = fits ? 2010 : 2048;
        EXPECT_EQ(buf[at], fits ? 38 : 40);
        EXPECT_EQ(Bytes(buf.begin() + at + 33, buf.begin() + at + 33 + buf[at + 32]), Str(fits ? "LAST" : "LAST1;1"));
        if (!fits) EXPECT_EQ(Bytes(buf.begin() + 2010, buf.begin() + 2048), Bytes(38, 0));
    }
}

// Path tables: the root (identifier 0, parent 1), then each folder with its
// parent's number, identifiers padded to even length; L little-endian, M big.
TEST(DirectoryRecords, PathTablesGolden) {
    auto root = MakeNode("SRC", true, 2048, 21);  // the root's own name never shows
    CFileEntry* docs = AddNode(*root, "DOCS", true, 2048, 22);
    CFileEntry* five = AddNode(*docs, "ABCDE", true, 2048, 0x0102);
    root->m_dwJolietSector = 24, docs->m_dwJolietSector = 40, five->m_dwJolietSector = 41;
    root->m_wDirNumber = 1, docs->m_wDirNumber = 2, five->m_wDirNumber = 3;
    const struct { decltype(&WriteIsoPathTableL) write; Bytes want; } cases[] = {
        {WriteIsoPathTableL, Cat({{1, 0, 21, 0, 0, 0, 1, 0, 0, 0, 4, 0, 22, 0, 0, 0, 1, 0}, Str("DOCS"),
                                     {5, 0, 2, 1, 0, 0, 2, 0}, Str("ABCDE"), {0}})},
        {WriteIsoPathTableM, Cat({{1, 0, 0, 0, 0, 21, 0, 1, 0, 0, 4, 0, 0, 0, 0, 22, 0, 1}, Str("DOCS"),
                                     {5, 0, 0, 0, 1, 2, 0, 2}, Str("ABCDE"), {0}})},
        {WriteJolietPathTableL, Cat({{1, 0, 24, 0, 0, 0, 1, 0, 0, 0, 8, 0, 40, 0, 0, 0, 1, 0}, Units("DOCS"),
                                        {10, 0, 41, 0, 0, 0, 2, 0}, Units("ABCDE")})},
        {WriteJolietPathTableM, Cat({{1, 0, 0, 0, 0, 24, 0, 1, 0, 0, 8, 0, 0, 0, 0, 40, 0, 1}, Units("DOCS"),
                                        {10, 0, 0, 0, 0, 41, 0, 2}, Units("ABCDE")})},
    };
    for (const auto& c : cases) {
        Bytes b(64, 0);
        ASSERT_EQ(c.write({root.get(), docs, five}, b.data()), c.want.size());
        EXPECT_EQ(b, Cat({c.want, Bytes(64 - c.want.size(), 0)})) << &c - cases;
    }
}

Bytes Both(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24), uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

// Each Rock Ridge entry, fields at their places. SL: "." "..", the root and
// empty components by their flags; a component too long for one entry goes
// on, flagged, in the next, and the entry before says it continues.
TEST(RockRidge, EntriesGolden) {
    TzScope tz{"JST-9"};
    PosixInfo p;
    p.mode = 0100755, p.links = 2, p.uid = 1000, p.gid = 0x01020304, p.serial = 7;
    auto put = [](auto fill) {
        uint8_t d[kMaxSuEntry] = {};
        return Bytes(d, d + fill(d));
    };
    auto sl = [](const std::string& target) {
        Bytes all;
        for (const std::string& e : SlEntries(target)) all.insert(all.end(), e.begin(), e.end());
        return all;
    };
    const std::string c300(300, 'c');
    const struct { const char* what; Bytes got, want; } cases[] = {
        {"SP", put(PutSp), {'S', 'P', 7, 1, 0xBE, 0xEF, 0}},
        {"CE", put([](uint8_t* d) { return PutCe(d, 0x1234, 100, 300); }), Cat({Str("CE"), {28, 1}, Both(0x1234), Both(100), Both(300)})},
        {"PX", put([&](uint8_t* d) { return PutPx(d, p); }),
         Cat({Str("PX"), {44, 1}, Both(0100755), Both(2), Both(1000), Both(0x01020304), Both(7)})},
        {"TF", put([](uint8_t* d) { return PutTf(d, kWhen, kWhen - 1, kWhen - 2); }),
         Cat({Str("TF"), {26, 1, 0x0E}, kDate, {0x6E, 5, 0x1F, 0x17, 0x3B, 0x39, 0x24}, {0x6E, 5, 0x1F, 0x17, 0x3B, 0x38, 0x24}})},
        {"NM", put([](uint8_t* d) { return PutNm(d, 1, "python3.11"); }), Cat({Str("NM"), {15, 1, 1}, Str("python3.11")})},
        {"ER", put(PutEr), Cat({Str("ER"), {183, 1, 10, 72, 93, 1}, Str("IEEE_P1282"),
                                Str("THE IEEE P1282 PROTOCOL PROVIDES SUPPORT FOR POSIX FILE SYSTEM SEMANTICS"),
                                Str("PLEASE CONTACT THE IEEE STANDARDS DEPARTMENT, PISCATAWAY, NJ, USA FOR THE P1282 SPECIFICATION")})},
        {"SL ../bin//x/", sl("../bin//x/"), Cat({Str("SL"), {19, 1, 0, 4, 0, 0, 3}, Str("bin"), {0, 0, 0, 1, 'x', 0, 0}})},
        {"SL /usr/./a", sl("/usr/./a"), Cat({Str("SL"), {17, 1, 0, 8, 0, 0, 3}, Str("usr"), {2, 0, 0, 1, 'a'}})},
        {"SL long", sl("a/" + c300), Cat({Str("SL"), {8, 1, 1, 0, 1, 'a'}, Str("SL"), {255, 1, 1, 1, 248}, Bytes(248, 'c'),
                                          Str("SL"), {59, 1, 0, 0, 52}, Bytes(52, 'c')})},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
}

}  // namespace
}  // namespace pm
