#include "iso9660/DirectoryRecords.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "iso9660/IsoTestSupport.h"

namespace pm {
namespace {

using namespace test;

const Bytes kDate = {0x6E, 0x05, 0x1F, 0x17, 0x3B, 0x3A, 0x24};  // 2010-05-31 23:59:58 +9

class DirectoryRecords : public ::testing::Test {
protected:
    TzScope tz{"JST-9", 540};
    int64_t when = Utc(2010, 5, 31, 14, 59, 58);
};

TEST_F(DirectoryRecords, IsoFileRecordGolden) {
    auto root = MakeNode("", true, 2048, 21);
    CFileEntry* f = AddNode(*root, "README.TXT", false, 0x100000800ull, 0x1234);  // 4 GiB + 2 KiB
    f->m_time = when;
    EXPECT_EQ(IsoRecordLength(*f), 46);
    Bytes buf(4096, 0);
    EXPECT_EQ(WriteIsoDirectory(*root, buf.data(), 2048), 68u + 46u);
    Bytes expected = Cat({{46, 0},
                          {0x34, 0x12, 0, 0, 0, 0, 0x12, 0x34},  // extent
                          {0x00, 0x08, 0, 0, 0, 0, 0x08, 0x00},  // low 32 bits of the size
                          kDate,
                          {0x00, 0, 0},                          // flags, unit size, gap
                          {1, 0, 0, 1},                          // volume sequence number
                          {12},
                          Str("README.TXT;1"),
                          {0}});                                 // padding (n even)
    EXPECT_EQ(Bytes(buf.begin() + 68, buf.begin() + 68 + 46), expected);
}

TEST_F(DirectoryRecords, IsoRecordLengths) {
    auto root = MakeNode("", true);
    CFileEntry* docs = AddNode(*root, "DOCS", true);
    CFileEntry* abc = AddNode(*root, "ABC", false);
    EXPECT_EQ(IsoRecordLength(*docs), 38);  // n = 4, padded
    EXPECT_EQ(IsoRecordLength(*abc), 38);   // n = 5, no padding
    uint8_t h[33];
    FillIsoRecordHeader(*docs, h);
    EXPECT_EQ(h[0], 38);
    EXPECT_EQ(h[25], 0x02);  // directory
    EXPECT_EQ(h[32], 4);
    docs->m_bHidden = true;
    FillIsoRecordHeader(*docs, h);
    EXPECT_EQ(h[25], 0x03);
    abc->m_bHidden = true;
    FillIsoRecordHeader(*abc, h);
    EXPECT_EQ(h[25], 0x01);
    EXPECT_EQ(h[32], 5);

    Bytes buf(2048, 0);
    EXPECT_EQ(WriteIsoDirectory(*root, buf.data(), 2048), 68u + 38u + 38u);
    EXPECT_EQ(Bytes(buf.begin() + 68 + 33, buf.begin() + 68 + 38), (Bytes{'D', 'O', 'C', 'S', 0}));  // no dot, no ;1
    EXPECT_EQ(Bytes(buf.begin() + 106 + 33, buf.begin() + 106 + 38), Str("ABC;1"));
    EXPECT_EQ(WriteIsoDirectory(*abc, buf.data(), 2048), 0u);  // a file has no extent
}

TEST_F(DirectoryRecords, JolietRecords) {
    auto root = MakeNode("", true, 2048, 24);
    CFileEntry* f = AddNode(*root, "a.txt", false, 5, 30);
    CFileEntry* dir = AddNode(*root, std::string(64, 'x'), true, 2048, 25);
    f->m_time = when;
    EXPECT_EQ(JolietRecordLength(*f), 48);  // n = 14
    EXPECT_EQ(JolietRecordLength(*dir), 162);  // n = 128

    Bytes buf(2048, 0);
    EXPECT_EQ(WriteJolietDirectory(*root, buf.data(), 2048), 68u + 48u + 162u);
    Bytes expected = Cat({{48, 0},
                          {30, 0, 0, 0, 0, 0, 0, 30},
                          {5, 0, 0, 0, 0, 0, 0, 5},
                          kDate,
                          {0, 0, 0},
                          {1, 0, 0, 1},
                          {14},
                          {0, 'a', 0, '.', 0, 't', 0, 'x', 0, 't', 0x00, 0x3B, 0x00, 0x31},
                          {0}});
    EXPECT_EQ(Bytes(buf.begin() + 68, buf.begin() + 68 + 48), expected);
    const uint8_t* d = buf.data() + 116;
    EXPECT_EQ(d[0], 162);
    EXPECT_EQ(d[25], 0x02);
    EXPECT_EQ(d[32], 128);
    EXPECT_EQ(d[33 + 126], 0);
    EXPECT_EQ(d[33 + 127], 'x');
    EXPECT_EQ(d[161], 0);  // padding
}

TEST_F(DirectoryRecords, DotRecordsAndEmptyExtent) {
    auto root = MakeNode("ROOTNAME", true, 2048, 21);
    root->m_time = when;
    root->m_bHidden = true;
    CFileEntry* sub = AddNode(*root, "SUB", true, 4096, 22);
    sub->m_time = when;

    Bytes buf(2048, 0);
    EXPECT_EQ(WriteIsoDirectory(*root, buf.data(), 2048), 68u + 36u);
    Bytes dot = Cat({{34, 0}, {21, 0, 0, 0, 0, 0, 0, 21}, {0, 8, 0, 0, 0, 0, 8, 0}, kDate, {0x03, 0, 0}, {1, 0, 0, 1}, {1}, {0}});
    Bytes dotdot = dot;
    dotdot[33] = 1;
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + 34), dot);
    EXPECT_EQ(Bytes(buf.begin() + 34, buf.begin() + 68), dotdot);  // the root's parent is itself

    // The empty sub folder: "." is itself, ".." the root, hidden bit included.
    Bytes sbuf(2048, 0);
    EXPECT_EQ(WriteIsoDirectory(*sub, sbuf.data(), 2048), 68u);
    EXPECT_EQ(Bytes(sbuf.begin() + 34, sbuf.begin() + 68), dotdot);
    EXPECT_EQ(Bytes(sbuf.begin() + 68, sbuf.end()), Bytes(2048 - 68, 0));
    EXPECT_EQ(sbuf[2], 22);
    EXPECT_EQ(sbuf[10 + 1], 0x10);  // 4096
    EXPECT_EQ(sbuf[25], 0x02);
    Bytes jbuf(2048, 0);
    EXPECT_EQ(WriteJolietDirectory(*sub, jbuf.data(), 2048), 68u);
    EXPECT_EQ(Bytes(jbuf.begin() + 34, jbuf.begin() + 68), dotdot);
}

// 68 + 49 records of 38 + 2 records of 40 bytes = 2010.
std::unique_ptr<CFileEntry> FilledTo2010() {
    auto root = MakeNode("", true);
    char name[8];
    for (int i = 0; i < 49; ++i) {
        std::snprintf(name, sizeof name, "D%03d", i);
        AddNode(*root, name, true);  // 38 bytes
    }
    AddNode(*root, "F0000", false);  // 40 bytes
    AddNode(*root, "F0001", false);
    return root;
}

TEST_F(DirectoryRecords, SectorBoundary) {
    auto fits = FilledTo2010();
    AddNode(*fits, "LAST", true);  // 38: ends exactly at 2048
    Bytes buf(4096, 0);
    EXPECT_EQ(WriteIsoDirectory(*fits, buf.data(), 2048), 2048u);
    EXPECT_EQ(buf[2010], 38);
    EXPECT_EQ(Bytes(buf.begin() + 2010 + 33, buf.begin() + 2010 + 37), Str("LAST"));

    auto moves = FilledTo2010();
    AddNode(*moves, "LAST1", false);  // 40: does not fit, starts the next sector
    std::fill(buf.begin(), buf.end(), 0);
    EXPECT_EQ(WriteIsoDirectory(*moves, buf.data(), 2048), 2048u + 40u);
    EXPECT_EQ(Bytes(buf.begin() + 2010, buf.begin() + 2048), Bytes(38, 0));
    EXPECT_EQ(buf[2048], 40);
    EXPECT_EQ(Bytes(buf.begin() + 2048 + 33, buf.begin() + 2048 + 40), Str("LAST1;1"));
}

TEST_F(DirectoryRecords, RootOnlyPathTables) {
    auto root = MakeNode("", true, 2048, 0x15);
    root->m_dwJolietSector = 0x18;
    root->m_wDirNumber = 1;
    std::vector<CFileEntry*> dirs = {root.get()};
    uint8_t b[16] = {};
    EXPECT_EQ(WriteIsoPathTableL(dirs, b), 10u);
    EXPECT_EQ(Bytes(b, b + 10), (Bytes{1, 0, 0x15, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(WriteIsoPathTableM(dirs, b), 10u);
    EXPECT_EQ(Bytes(b, b + 10), (Bytes{1, 0, 0, 0, 0, 0x15, 0, 1, 0, 0}));
    EXPECT_EQ(WriteJolietPathTableL(dirs, b), 10u);
    EXPECT_EQ(Bytes(b, b + 10), (Bytes{1, 0, 0x18, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(WriteJolietPathTableM(dirs, b), 10u);
    EXPECT_EQ(Bytes(b, b + 10), (Bytes{1, 0, 0, 0, 0, 0x18, 0, 1, 0, 0}));
}

TEST_F(DirectoryRecords, PathTablesWithFolders) {
    auto root = MakeNode("SRC", true, 2048, 21);  // the root's own name never shows
    CFileEntry* docs = AddNode(*root, "DOCS", true, 2048, 22);
    CFileEntry* five = AddNode(*docs, "ABCDE", true, 2048, 0x0102);
    root->m_wDirNumber = 1;
    docs->m_wDirNumber = 2;
    five->m_wDirNumber = 3;
    std::vector<CFileEntry*> dirs = {root.get(), docs, five};

    uint8_t e[8];
    FillIsoPathEntryL(*root, e);
    EXPECT_EQ(e[0], 3);  // the entry encoder keeps the name length; the table writer overrides it

    Bytes b(64, 0);
    EXPECT_EQ(WriteIsoPathTableL(dirs, b.data()), 10u + 12u + 14u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 36),
              Cat({{1, 0, 21, 0, 0, 0, 1, 0, 0, 0},
                   {4, 0, 22, 0, 0, 0, 1, 0}, Str("DOCS"),
                   {5, 0, 0x02, 0x01, 0, 0, 2, 0}, Str("ABCDE"), {0}}));
    std::fill(b.begin(), b.end(), 0);
    EXPECT_EQ(WriteIsoPathTableM(dirs, b.data()), 36u);
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 36),
              Cat({{1, 0, 0, 0, 0, 21, 0, 1, 0, 0},
                   {4, 0, 0, 0, 0, 22, 0, 1}, Str("DOCS"),
                   {5, 0, 0, 0, 0x01, 0x02, 0, 2}, Str("ABCDE"), {0}}));

    std::fill(b.begin(), b.end(), 0);
    docs->m_dwJolietSector = 40;
    five->m_dwJolietSector = 41;
    EXPECT_EQ(WriteJolietPathTableL(dirs, b.data()), 10u + 16u + 18u);
    EXPECT_EQ(Bytes(b.begin() + 10, b.begin() + 44),
              Cat({{8, 0, 40, 0, 0, 0, 1, 0, 0, 'D', 0, 'O', 0, 'C', 0, 'S'},
                   {10, 0, 41, 0, 0, 0, 2, 0, 0, 'A', 0, 'B', 0, 'C', 0, 'D', 0, 'E'}}));
    EXPECT_EQ(WriteJolietPathTableM(dirs, b.data()), 44u);
    EXPECT_EQ(Bytes(b.begin() + 26, b.begin() + 34), (Bytes{10, 0, 0, 0, 0, 41, 0, 2}));
}

TEST_F(DirectoryRecords, OverlongNamesStayInsideTheirRecord) {
    auto root = MakeNode("", true);
    CFileEntry* f = AddNode(*root, std::string(300, 'N'), false);
    EXPECT_EQ(IsoRecordLength(*f), 254);
    EXPECT_EQ(JolietRecordLength(*f), 254);
    Bytes buf(4096, 0);
    EXPECT_EQ(WriteIsoDirectory(*root, buf.data(), 2048), 68u + 254u);
    EXPECT_EQ(buf[68 + 32], 221);
    EXPECT_EQ(Bytes(buf.begin() + 68 + 33 + 219, buf.begin() + 68 + 254), (Bytes{';', '1'}));  // n odd: no padding
    EXPECT_EQ(buf[68 + 254], 0);
}

}  // namespace
}  // namespace pm
