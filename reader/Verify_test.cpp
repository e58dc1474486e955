// Verification of images of every kind against their source: a clean image
// passes, and each damage names the file it hurts.
#include "reader/Verify.h"
#include "messages/JobMessages.h"
#include "messages/Strings.h"

#include <gtest/gtest.h>

#include <functional>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "iso9660/IsoTestSupport.h"
#include "disc/OnDisc.h"
#include "udf/Primitives.h"

namespace pm::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Replaces every occurrence of `from` with `to` (same length).
void Replace(Bytes& image, const std::string& from, const std::string& to) {
    for (auto it = image.begin(); (it = std::search(it, image.end(), from.begin(), from.end())) != image.end();)
        it = std::copy(to.begin(), to.end(), it);
}

std::string Joined(const VerifyResult& r) {
    std::string s = r.unreadable.empty() ? "" : r.unreadable + "\n";
    for (const auto& p : r.problems) s += p + "\n";
    for (const auto& d : r.differences) s += d + "\n";
    return s;
}

// The image against a fresh layout of `request` over the source as it is now.
VerifyResult VerifyAgain(FakePlatform& fake, const BuildRequest& request, const ImageSource& image,
                         Language language = Language::English) {
    JobMessages messages;
    ImageBuilder again{fake, request, messages};
    EXPECT_TRUE(again.Layout());
    SetLanguage(language);
    VerifyResult r = VerifyImage(again, image);
    SetLanguage(Language::Japanese);
    return r;
}

// A clean image of every kind passes; each kind of difference, made in the
// image or in the source after the build, is one line naming the path, in
// English exactly as scripts parse it and in Japanese. (Content that differs
// at a byte: the window's check of a damaged copy.)
TEST(Verify, NamesEachKindOfDifferenceInBothLanguages) {
    TzScope tz{"EST5EDT"};  // the summer time is recorded with daylight saving's offset
    const auto J = FileSystemType::Joliet, B = FileSystemType::UdfBridge, U = FileSystemType::Udf;
    using Damage = std::function<void(FakePlatform&, Bytes&, uint64_t bData)>;
    auto source = [](FakePlatform& f) -> FakeNode& { return *f.Find("/src/a.txt"); };
    const struct { FileSystemType kind; Damage damage; std::string en, ja; } cases[] = {
        {J, [](FakePlatform&, Bytes& i, uint64_t) { Replace(i, "b.txt;1", "c.txt;1"); },
         "sub/b.txt: missing in ISO 9660 (as \"b.txt;1\")\nsub/c.txt;1: in ISO 9660 but not in the source",
         "sub/b.txt: ISO 9660 にありません (\"b.txt;1\" として)\nsub/c.txt;1: ISO 9660 にあり、元のフォルダにはありません"},
        {U, [](FakePlatform&, Bytes& i, uint64_t d) { i.resize(d + 2048); },
         "sub/b.txt: content lies past the end of the image", "sub/b.txt: 内容がイメージの終わりより後ろにあります"},
        {B, [](FakePlatform&, Bytes& i, uint64_t) {  // the ISO 9660 record of a.txt one sector on
             auto at = std::search(i.begin(), i.end(), std::begin("a.txt;1"), std::end("a.txt;1") - 1) - 33;
             at[2] += 1, at[9] += 1;
         },
         "a.txt: UDF and ISO 9660 point at different sectors", "a.txt: UDF と ISO 9660 が別のセクタを指しています"},
        {J, [](FakePlatform&, Bytes& i, uint64_t) { i[17 * SectorSize] = 255; },  // the Joliet descriptor made a terminator
         "no Joliet volume", "Joliet ボリュームがありません"},
        {U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).mtime += 1; },
         "a.txt: modified 2010-01-01 00:00:00 UTC in UDF, 2010-01-01 00:00:01 UTC in the source",
         "a.txt: UDF では更新日時が 2010-01-01 00:00:00 UTC、元のフォルダでは 2010-01-01 00:00:01 UTC です"},
        {U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).hidden = true; },
         "a.txt: not hidden in UDF, hidden in the source", "a.txt: UDF では隠し属性がなく、元のフォルダにはあります"},
        {U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).content = "alp", source(f).size = 3; },
         "a.txt: size 5 in UDF, 3 in the source\na.txt: the source file ends at byte 3",
         "a.txt: UDF では大きさが 5、元のフォルダでは 3 です\na.txt: 元のファイルがバイト位置 3 で終わっています"},
        {U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).content = "alphabet", source(f).size = 8; },
         "a.txt: the source file goes on past the 5 bytes recorded", "a.txt: 元のファイルは記録された 5 バイトより長くなっています"},
        {U, [](FakePlatform& f, Bytes&, uint64_t) { f.AddFile("/src/sub/new.txt", ""); },
         "sub/new.txt: missing in UDF (as \"new.txt\")", "sub/new.txt: UDF にありません (\"new.txt\" として)"},
        {U, [](FakePlatform& f, Bytes&, uint64_t) { f.Find("/src/sub/empty")->directory = true; },
         "sub/empty: a file in UDF, a folder in the source", "sub/empty: UDF ではファイル、元のフォルダではフォルダです"},
        {U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).openCause = kCauseSharingViolation; },
         "a.txt: the source file cannot be opened", "a.txt: 元のファイルを開けません"},
        {U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).readFailAfter = 0; },
         "a.txt: the source file cannot be read", "a.txt: 元のファイルを読み取れません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.en);
        FakePlatform fake;
        fake.AddFile("/src/a.txt", "alpha").mtime = 1262304000;       // January
        fake.AddFile("/src/sub/b.txt", std::string(3000, 'b')).mtime = 1275317998;  // May
        fake.AddFile("/src/sub/empty", "");
        JobMessages messages;
        ImageBuilder b{fake, GoldenRequest("/src", c.kind), messages};
        Bytes image = WriteToMemory(b);
        MemorySource clean(image);
        EXPECT_TRUE(VerifyImage(b, clean).Identical());
        c.damage(fake, image, uint64_t(b.m_files[1]->m_dwIsoSector) * SectorSize);  // sub/b.txt
        MemorySource damaged(image);
        for (Language language : {Language::English, Language::Japanese}) {
            const VerifyResult r = VerifyAgain(fake, GoldenRequest("/src", c.kind), damaged, language);
            const std::string& line = language == Language::English ? c.en : c.ja;
            EXPECT_TRUE(!r.Identical() && ("\n" + Joined(r)).find("\n" + line + "\n") != std::string::npos) << line << " not among:\n" << Joined(r);
        }
    }
}

// With Linux attributes, entries too long for their records go on in
// continuation areas: names of 64 three-byte characters, a folder of 1500
// of them, a link target of 4 KiB with a component longer than an entry.
// The writer checks that every folder's areas end where the plan put them;
// our reader finds every attribute again, and one changed is named.
TEST(Verify, RockRidgeContinuesWhereRecordsEnd) {
    TzScope tz{"JST-9"};
    FakePlatform fake;
    std::string name;
    for (int i = 0; i < 60; ++i) name += "名";
    for (int i = 0; i < 1500; ++i) fake.AddFile("/src/many/" + name + std::to_string(1000 + i), "").mode = 0100640;
    const std::string target = "../" + std::string(300, 'c') + [] { std::string s; for (int i = 0; i < 410; ++i) s += "/abcdefgh"; return s; }();
    fake.AddLink("/src/" + name + "link", target);
    FakeNode& first = fake.AddFile("/src/h1", "same");
    first.mode = 0100755, first.uid = 1000, first.gid = 100;
    fake.AddFile("/src/h2", "same").inode = first.inode;
    BuildRequest request = GoldenRequest("/src", FileSystemType::Joliet);
    request.volume.PosixAttributes = true;
    JobMessages messages;
    ImageBuilder b{fake, request, messages};
    Bytes image = WriteToMemory(b);
    EXPECT_EQ(messages.JoinedText(), "");
    MemorySource source(image);
    IsoReader iso(source);
    EXPECT_TRUE(iso.HasRockRidge() && iso.Problems().empty()) << iso.ProblemText();
    const IsoTreeEntry *h1 = iso.Find(iso.IsoTree(), "h1"), *h2 = iso.Find(iso.IsoTree(), "h2");
    ASSERT_TRUE(h1 && h2);
    EXPECT_EQ(std::pair(h1->rr.serial, h1->extent), std::pair(h2->rr.serial, h2->extent));
    VerifyResult r = VerifyImage(b, source);
    EXPECT_TRUE(r.Identical()) << Joined(r);
    EXPECT_EQ(r.bytes, 4u);  // the pair's data once
    // A continuation area made to continue in itself: the reader stops.
    Bytes looped = image;
    const std::string ce = {'C', 'E', 28, 1};
    const size_t at = size_t(std::search(looped.begin() + b.m_root.Posix()->continuationSector * SectorSize, looped.end(),
                                         ce.begin(), ce.end()) - looped.begin());
    ASSERT_LT(at, looped.size());
    PutBoth32(&looped[at + 4], uint32_t(at / SectorSize)), PutBoth32(&looped[at + 12], at % SectorSize), PutBoth32(&looped[at + 20], 28);
    MemorySource loopedSource(looped);
    EXPECT_NE(IsoReader(loopedSource).ProblemText().find("more than 32 continuation areas"), std::string::npos);
    first.mode = 0100700;
    fake.Find("/src/" + name + "link")->linkTarget = "../x";
    const std::string text = Joined(VerifyAgain(fake, request, source));
    EXPECT_NE(text.find("h1: mode 100755 in Rock Ridge, 100700 in the source\n"), std::string::npos) << text;
    EXPECT_NE(text.find(name + "link: link target ../" + std::string(300, 'c') + "/abcdefgh/"), std::string::npos) << text;
}

// With Linux attributes, a clean UDF image (a hard-link pair sharing one
// entry, a symbolic link held in its entry) passes; a source whose mode,
// owner, link target and hard links changed after the build is named with
// what differs.
TEST(Verify, ComparesUdfAttributes) {
    TzScope tz{"UTC"};
    FakePlatform fake;
    FakeNode& a = fake.AddFile("/src/a.txt", "alpha");
    a.mode = 0100640, a.uid = 1001, a.links = 2;
    FakeNode& a2 = fake.AddFile("/src/sub/a2.txt", "alpha");
    a2.mode = a.mode, a2.uid = a.uid, a2.links = 2, a2.inode = a.inode;
    fake.AddLink("/src/sub/l", "..//a.txt/");
    fake.Find("/src/sub")->mode = 040750;
    JobMessages messages;
    BuildRequest request = GoldenRequest("/src", FileSystemType::Udf);
    request.volume.PosixAttributes = true;
    ImageBuilder b{fake, request, messages};
    Bytes image = WriteToMemory(b);
    MemorySource source(image);
    EXPECT_EQ(Joined(VerifyImage(b, source)), "");
    a.mode = 0104644, a.uid = 7, a2.inode = 99;
    fake.Find("/src/sub/l")->linkTarget = "../b.txt";
    EXPECT_EQ(Joined(VerifyAgain(fake, request, source)), "a.txt: mode 100640 in UDF, 104644 in the source\na.txt: uid 1001 in UDF, 7 in the source\n"
                         "a.txt: nlink 2 in UDF, 1 in the source\nsub/a2.txt: nlink 2 in UDF, 1 in the source\n"
                         "sub/l: link target ../a.txt in UDF, ../b.txt in the source\n");
}

// Faults planted in the fields other readers act on, each with its tag made
// good again where it has one (as a faulty writer would leave it): --verify
// names every one. Sector numbers come from the layout of the same build.
TEST(Verify, RejectsEveryPlantedFieldFault) {
    TzScope tz{"JST-9"};
    FakePlatform fake;
    fake.AddFile("/src/a.txt", "alpha");
    fake.AddFile("/src/sub/b.txt", std::string(3000, 'b'));
    JobMessages messages;
    ImageBuilder b{fake, GoldenRequest("/src", FileSystemType::UdfBridge), messages};
    const Bytes image = WriteToMemory(b);
    auto find = [&](const std::string& needle) {
        auto it = std::search(image.begin(), image.end(), needle.begin(), needle.end());
        EXPECT_NE(it, image.end()) << needle;
        return size_t(it - image.begin());
    };
    const size_t S = SectorSize, P = b.m_dwUdfPartitionStart;
    const size_t isoA = find("a.txt;1") - 33, jolietA = find(std::string("\0a\0.\0t\0x\0t\0;\0" "1", 14)) - 33;
    const CFileEntry& sub = *b.m_directories[1];
    const CFileEntry& fileB = *b.m_files[1];
    const size_t fid = (P + sub.m_dwUdfDataBlock) * S + 40;  // after the parent's identifier
    const size_t fe = (P + fileB.m_dwUdfEntryBlock) * S;
    const size_t mainVds = size_t(b.m_dwUdfMainVds) * S, reserveVds = size_t(b.m_dwUdfReserveVds) * S;
    auto retag = [](Bytes& i, size_t at) { uint8_t* d = &i[at]; FillTag(d, GetLE16(d), GetLE32(d + 12), uint16_t(16 + GetLE16(d + 10))); };
    // A field of a descriptor of both volume descriptor sequences (n-th descriptor).
    auto bothSequences = [&](Bytes& i, size_t n, const std::function<void(Bytes&, size_t)>& set) {
        for (size_t at : {mainVds + n * S, reserveVds + n * S}) set(i, at), retag(i, at);
    };
    const std::pair<std::string, std::function<void(Bytes&)>> faults[] = {
        {"ISO 9660 directory \"/\" record at byte 68: extended attribute record length 1", [&](Bytes& i) { i[isoA + 1] = 1; }},
        {"Joliet directory \"/\" record at byte 68: extended attribute record length 1", [&](Bytes& i) { i[jolietA + 1] = 1; }},
        {"file flags 4 (associated", [&](Bytes& i) { i[isoA + 25] |= 4; }},
        {"interleaved (file unit size 1, gap 1)", [&](Bytes& i) { i[isoA + 26] = 1, i[isoA + 27] = 1; }},
        {"volume sequence number 2, not 1", [&](Bytes& i) { i[isoA + 28] = 2, i[isoA + 31] = 2; }},
        {"ISO 9660 type L path table: entry at byte 0 has extended attributes", [&](Bytes& i) { i[size_t(b.m_dwIsoPathTableL) * S + 1] = 1; }},
        {"ISO 9660: optional path tables named", [&](Bytes& i) { i[16 * S + 144] = 5; }},
        {"Joliet: escape sequences other than %/E alone", [&](Bytes& i) { i[17 * S + 91] = '%'; }},
        {"identifier at byte 40: ICB of 2048 bytes in partition reference 1, not 2048 in 0",
         [&](Bytes& i) { PutLE16(&i[fid + 28], 1), retag(i, fid); }},
        {"ICB of 4096 bytes in partition reference 0", [&](Bytes& i) { PutLE32(&i[fid + 20], 4096), retag(i, fid); }},
        {"identifier at byte 40: characteristics 4", [&](Bytes& i) { i[fid + 18] = 4, retag(i, fid); }},
        {"identifier at byte 40: file version 2, not 1", [&](Bytes& i) { PutLE16(&i[fid + 16], 2), retag(i, fid); }},
        {"entry of /sub/b.txt at block", [&](Bytes& i) { PutLE16(&i[fe + 20], 4096), retag(i, fe); }},
        {"ICB flags 4656, not 560", [&](Bytes& i) { PutLE16(&i[fe + 34], 0x1230), retag(i, fe); }},
        {"record format, display attributes or record length not zero", [&](Bytes& i) { i[fe + 50] = 1, retag(i, fe); }},
        {"an extended attribute ICB", [&](Bytes& i) { PutLE32(&i[fe + 112], 2048), retag(i, fe); }},
        {"extent of type 1 (not recorded", [&](Bytes& i) { i[fe + 176 + GetLE16(&i[fe + 168]) + 3] |= 0x40, retag(i, fe); }},
        {"partition map names volume 1 partition 1, not the partition descriptor's (1, 0)",
         [&](Bytes& i) { bothSequences(i, 3, [&](Bytes& j, size_t at) { PutLE16(&j[at + 444], 1); }); }},
        {"partition number 1, not 0", [&](Bytes& i) { bothSequences(i, 2, [&](Bytes& j, size_t at) { PutLE16(&j[at + 22], 1); }); }},
        {"partition access type 4, not read-only (1)",
         [&](Bytes& i) { bothSequences(i, 2, [&](Bytes& j, size_t at) { PutLE32(&j[at + 184], 4); }); }},
        {"file set descriptor sequence of 2048 bytes, not 4096",
         [&](Bytes& i) { bothSequences(i, 3, [&](Bytes& j, size_t at) { PutLE32(&j[at + 248], 2048); }); }},
        {"file set descriptor: root ICB of 2048 bytes in partition reference 1",
         [&](Bytes& i) { PutLE16(&i[P * S + 408], 1), retag(i, P * S); }},
    };
    for (const auto& [needle, plant] : faults) {
        SCOPED_TRACE(needle);
        Bytes copy = image;
        plant(copy);
        MemorySource source(copy);
        VerifyResult r = VerifyImage(b, source);
        std::string problems;
        for (const auto& p : r.problems) problems += p + "\n";
        EXPECT_TRUE(!r.Identical() && problems.find(needle) != std::string::npos) << "not among the image's faults:\n" << Joined(r);
    }
}

}  // namespace
}  // namespace pm::test
