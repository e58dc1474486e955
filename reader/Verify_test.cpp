// Verification of images of every kind against their source: each damage
// names the file it hurts, in both languages.
#include "reader/Verify.h"
#include "messages/JobMessages.h"
#include "messages/Strings.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "iso9660/IsoTestSupport.h"

namespace pm::test {
namespace {

using Bytes = std::vector<uint8_t>;

std::string Joined(const VerifyResult& r) {
    std::string s = r.unreadable.empty() ? "" : r.unreadable + "\n";
    for (const auto& p : r.problems) s += p + "\n";
    for (const auto& d : r.differences) s += d + "\n";
    return s;
}

// Each kind of difference, made in the image or in the source after the
// build, is one line naming the path, in English exactly as scripts parse it
// and in Japanese. (Clean images of every kind pass in the interop tests.)
TEST(Verify, NamesEachKindOfDifferenceInBothLanguages) {
    TzScope tz{"EST5EDT", -300};  // the summer time is recorded with daylight saving's offset
    FixedVolumeInfo info;
    const auto J = FileSystemType::Joliet, B = FileSystemType::UdfBridge, U = FileSystemType::Udf;
    using Damage = std::function<void(FakePlatform&, Bytes&, uint64_t bData)>;
    auto source = [](FakePlatform& f) -> FakeNode& { return *f.Find("/src/a.txt"); };
    const struct { FileSystemType kind, verifyAs; Damage damage; std::string en, ja; } cases[] = {
        {J, J, [](FakePlatform&, Bytes& i, uint64_t d) { i[d + 100] ^= 1; },
         "sub/b.txt: content differs at byte 100", "sub/b.txt: 内容がバイト位置 100 で異なります"},
        {J, J, [](FakePlatform&, Bytes& i, uint64_t) { *std::search(i.begin(), i.end(), std::begin("b.txt;1"), std::end("b.txt;1") - 1) = 'c'; },
         "sub/b.txt: missing in ISO 9660 (as \"b.txt;1\")\nsub/c.txt;1: in ISO 9660 but not in the source",
         "sub/b.txt: ISO 9660 にありません (\"b.txt;1\" として)\nsub/c.txt;1: ISO 9660 にあり、元のフォルダにはありません"},
        {U, U, [](FakePlatform&, Bytes& i, uint64_t d) { i.resize(d + 2048); },
         "sub/b.txt: content lies past the end of the image", "sub/b.txt: 内容がイメージの終わりより後ろにあります"},
        {B, B, [](FakePlatform&, Bytes& i, uint64_t) {  // the ISO 9660 record of a.txt one sector on
             auto at = std::search(i.begin(), i.end(), std::begin("a.txt;1"), std::end("a.txt;1") - 1) - 33;
             at[2] += 1, at[9] += 1;
         },
         "a.txt: UDF and ISO 9660 point at different sectors", "a.txt: UDF と ISO 9660 が別のセクタを指しています"},
        {J, J, [](FakePlatform&, Bytes& i, uint64_t) { i[17 * SectorSize] = 255; },  // the Joliet descriptor made a terminator
         "no Joliet volume", "Joliet ボリュームがありません"},
        {U, U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).hidden = true, source(f).mtime += 1; },
         "a.txt: not hidden in UDF, hidden in the source\n"
         "a.txt: modified 2010-01-01 00:00:00 UTC in UDF, 2010-01-01 00:00:01 UTC in the source",
         "a.txt: UDF では隠し属性がなく、元のフォルダにはあります\n"
         "a.txt: UDF では更新日時が 2010-01-01 00:00:00 UTC、元のフォルダでは 2010-01-01 00:00:01 UTC です"},
        {U, U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).content = "alp", source(f).size = 3; },
         "a.txt: size 5 in UDF, 3 in the source\na.txt: the source file ends at byte 3",
         "a.txt: UDF では大きさが 5、元のフォルダでは 3 です\na.txt: 元のファイルがバイト位置 3 で終わっています"},
        {U, U, [&](FakePlatform& f, Bytes&, uint64_t) {
             source(f).content = "alphabet", source(f).size = 8;
             f.Find("/src/sub/empty")->directory = true, f.AddFile("/src/sub/new.txt", "");
         },
         "a.txt: the source file goes on past the 5 bytes recorded\nsub/empty: a file in UDF, a folder in the source\n"
         "sub/new.txt: missing in UDF (as \"new.txt\")",
         "a.txt: 元のファイルは記録された 5 バイトより長くなっています\nsub/empty: UDF ではファイル、元のフォルダではフォルダです\n"
         "sub/new.txt: UDF にありません (\"new.txt\" として)"},
        {U, U, [&](FakePlatform& f, Bytes&, uint64_t) { source(f).openCause = kCauseSharingViolation, f.Find("/src/sub/b.txt")->readFailAfter = 0; },
         "a.txt: the source file cannot be opened\nsub/b.txt: the source file cannot be read",
         "a.txt: 元のファイルを開けません\nsub/b.txt: 元のファイルを読み取れません"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.en);
        FakePlatform fake;
        fake.AddFile("/src/a.txt", "alpha").mtime = 1262304000;       // January
        fake.AddFile("/src/sub/b.txt", std::string(3000, 'b')).mtime = 1275317998;  // May
        fake.AddFile("/src/sub/empty", "");
        ImageBuilder b{fake, TheJobMessages()};
        Bytes image = WriteToMemory(b, "/src", c.kind);
        c.damage(fake, image, uint64_t(b.m_files[1]->m_dwIsoSector) * SectorSize);  // sub/b.txt
        ImageBuilder again{fake, TheJobMessages()};
        ASSERT_TRUE(again.Layout("/src", c.kind));
        MemorySource damaged(image);
        for (const auto& [language, lines] : {std::pair{Language::English, c.en}, {Language::Japanese, c.ja}}) {
            SetLanguage(language);
            const std::string got = "\n" + Joined(VerifyImage(again, damaged, c.verifyAs));
            SetLanguage(Language::Japanese);
            std::istringstream expected(lines);  // each line, wherever it comes among the others
            for (std::string line; std::getline(expected, line);)
                EXPECT_NE(got.find("\n" + line + "\n"), std::string::npos) << line << " not among:" << got;
        }
    }
}

}  // namespace
}  // namespace pm::test
