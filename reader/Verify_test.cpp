// Verification of images of every kind against their source: a clean image
// passes, and each damage names the file it hurts.
#include "reader/Verify.h"
#include "messages/JobMessages.h"

#include <gtest/gtest.h>

#include <functional>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "iso9660/IsoTestSupport.h"

namespace pm::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Replaces every occurrence of `from` with `to` (same length).
void Replace(Bytes& image, const std::string& from, const std::string& to) {
    for (auto it = image.begin(); (it = std::search(it, image.end(), from.begin(), from.end())) != image.end();)
        it = std::copy(to.begin(), to.end(), it);
}

std::string Joined(const VerifyResult& r) {
    std::string s = r.unreadable;
    for (const auto& p : r.problems) s += p + "\n";
    for (const auto& d : r.differences) s += d + "\n";
    return s;
}

TEST(Verify, PassesCleanImagesAndNamesTheFileOfEachDamage) {
    TzScope tz{"EST5EDT"};  // the summer time is recorded with daylight saving's offset
    FakePlatform fake;
    fake.AddFile("/src/a.txt", "alpha").mtime = 1262304000;       // January
    fake.AddFile("/src/sub/b.txt", std::string(3000, 'b')).mtime = 1275317998;  // May
    fake.AddFile("/src/sub/empty", "");
    const std::string b16("\0b\0.\0t\0x\0t", 10), c16("\0c\0.\0t\0x\0t", 10);
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::UdfBridge, FileSystemType::Udf}) {
        SCOPED_TRACE(int(kind));
        JobMessages messages;
        ImageBuilder b{fake, GoldenRequest("/src", kind), messages};
        const Bytes image = WriteToMemory(b);
        const uint64_t data = uint64_t(b.m_files[1]->m_dwIsoSector) * SectorSize;  // sub/b.txt
        const std::pair<std::string, std::function<void(Bytes&)>> cases[] = {
            {"", [](Bytes&) {}},
            {"sub/b.txt: content differs at byte 100", [&](Bytes& i) { i[data + 100] ^= 1; }},
            {"sub/b.txt: missing in", [&](Bytes& i) { Replace(i, "b.txt;1", "c.txt;1"), Replace(i, b16, c16); }},
            {"sub/b.txt: content lies past the end of the image", [&](Bytes& i) { i.resize(data + 2048); }},
        };
        for (const auto& [needle, damage] : cases) {
            Bytes copy = image;
            damage(copy);
            MemorySource source(copy);
            VerifyResult r = VerifyImage(b, source);
            EXPECT_EQ(r.Identical(), needle.empty()) << needle << "\n" << Joined(r);
            EXPECT_NE(Joined(r).find(needle), std::string::npos) << needle << " not among:\n" << Joined(r);
        }
    }
}

// A source folder that cannot be listed stops the check with its cause: its
// files are not called missing from the source.
TEST(Verify, StopsAtASourceFolderThatCannotBeListed) {
    FakePlatform fake;
    fake.AddFile("/src/a.txt", "alpha");
    fake.AddFile("/src/sub/b.txt", "beta");
    JobMessages messages;
    ImageBuilder b{fake, GoldenRequest("/src", FileSystemType::UdfBridge), messages};
    const Bytes image = WriteToMemory(b);
    MemorySource source(image);
    fake.Find("/src/sub")->unlistable = true;
    ImageBuilder again{fake, GoldenRequest("/src", FileSystemType::UdfBridge), messages};
    ASSERT_TRUE(again.Layout());
    VerifyResult r = VerifyImage(again, source);
    EXPECT_TRUE(r.sourceUnreadable && !r.Identical());
    EXPECT_EQ(Joined(r), "");
    EXPECT_EQ(messages.JoinedText(), "/src/sub\nファイルを開けませんでした。\nアクセスが禁止されています。");
}

}  // namespace
}  // namespace pm::test
