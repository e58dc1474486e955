#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
#include <tuple>

#include "TempDir.h"
#include "iso9660/IsoTestSupport.h"
#include "platform/Platform.h"

namespace pm {
namespace {

// Files and folders with their aliases, links followed; what the listing
// skips (dangling links, FIFOs) and where links to folders lead are met by
// the scan's real-tree test.
TEST(PosixPlatform, ListsFilesAndFoldersFollowingLinksAndMarksTheRest) {
    TempDir t;
    t.Write("a.txt", "12345");
    t.Write(".hidden", "");
    t.Write("sub/x", "");
    t.Write("python3.11/x", "");
    t.Write("Long File Name.txt", "");
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("a.txt", (t / "filelink").c_str()), 0);

    auto platform = MakePosixPlatform(true);
    std::vector<DirEntry> list;
    FileError err;
    ASSERT_TRUE(platform->ListFolder(t.Path(), list, err));
    std::map<std::string, DirEntry> byName;
    for (const auto& e : list) byName[e.name] = e;

    struct stat st;
    ASSERT_EQ(::stat((t / "a.txt").c_str(), &st), 0);
    const DirEntry& a = byName["a.txt"];
    EXPECT_TRUE(a.size == 5 && a.mtime == st.st_mtim.tv_sec && !a.hidden && !a.directory && a.shortName.empty());
    EXPECT_EQ(byName["filelink"].inode, a.inode);
    // A folder identifier holds no dot, so such a folder always gets an alias.
    EXPECT_EQ(byName[".hidden"].shortName + " " + byName["Long File Name.txt"].shortName + " " +
                  byName["python3.11"].shortName + " " + byName["fifo"].shortName,
              "HIDDEN~1 LONGFI~1.TXT PYTHON~1 ");
    EXPECT_TRUE(byName["sub"].directory && byName["sub"].size == 0);  // folders carry no size of their own

    // One entry looked up: its own name, and an alias as in its folder's listing.
    DirEntry e;
    ASSERT_TRUE(platform->LookupEntry(t / "python3.11", e));
    EXPECT_EQ(e.name + " " + e.shortName + " " + std::to_string(e.directory), "python3.11 PYTHON~1 1");
    EXPECT_FALSE(platform->LookupEntry(t / "nothing", e));
    EXPECT_FALSE(platform->LookupEntry("", e));
    for (auto [name, cause] : {std::pair{"missing", kCauseFileNotFound}, {"a.txt", kCauseBadPath}})
        EXPECT_TRUE(!platform->ListFolder(t / name, list, err) && err.cause == cause) << name << " " << err.cause;

    // Deeper than PATH_MAX: listed, looked up and read relative to folder handles.
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(t.Path().c_str()), 0);
    std::string deep = t.Path();
    for (int i = 0; i < 80; ++i) {
        const std::string part = std::string(60, char('a' + i % 26));
        ASSERT_EQ(::mkdir(part.c_str(), 0700), 0);  // one step at a time: mkdir takes no longer path
        ASSERT_EQ(::chdir(part.c_str()), 0);
        deep += "/" + part;
    }
    ASSERT_EQ(::chdir(cwd), 0);
    ASSERT_GT(deep.size(), size_t(PATH_MAX));
    ASSERT_TRUE(platform->LookupEntry(deep, e));
    EXPECT_TRUE(e.directory);
    FileError made;
    auto out = platform->CreateOutput(deep + "/f", made);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->Write("deep", 4, made) && out->Close(made));
    ASSERT_TRUE(platform->ListFolder(deep, list, err));
    EXPECT_TRUE(list.size() == 1 && list[0].size == 4) << list.size();
    char buf[8];
    auto in = platform->OpenRead(deep + "/f", err);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in->Read(buf, sizeof buf, err), 4);
}

// Reading, its causes, the program's own path and the standard time offset.
TEST(PosixPlatform, ReadsAndReportsCausesAndKnowsItsProgramAndZone) {
    TempDir t;
    auto platform = MakePosixPlatform();
    FileError err;
    EXPECT_EQ(platform->OpenRead(t / "missing", err), nullptr);
    EXPECT_EQ(std::tie(err.cause, err.path), std::tuple(kCauseFileNotFound, t / "missing"));
    auto in = platform->OpenRead(t.Write("f", "hello"), err);
    ASSERT_NE(in, nullptr);
    char buf[16];
    EXPECT_EQ(in->Read(buf, sizeof buf, err), 5);
    EXPECT_EQ(std::string(buf, 5) + std::to_string(in->Read(buf, sizeof buf, err)), "hello0");
    auto dir = platform->OpenRead(t.Path(), err);  // opens, but reading a folder fails
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ((std::tuple{dir->Read(buf, sizeof buf, err), err.cause}), std::tuple(-1ll, int(kCauseGeneric)));
    EXPECT_EQ(CauseFromErrno(EIO), kCauseHardIo);  // the others are met for real (missing, full, locked, forbidden)

    // Settings and list files: only regular files of sane size are read.
    ASSERT_EQ(::mkfifo((t / "fifo").c_str(), 0600), 0);
    const std::pair<std::string, SmallFileStatus> small[] = {
        {t / "f", SmallFileStatus::Ok},          {t / "missing", SmallFileStatus::Missing},
        {t.Path(), SmallFileStatus::NotRegular}, {t / "fifo", SmallFileStatus::NotRegular},
        {"/dev/zero", SmallFileStatus::NotRegular},
        {t.Write("big", std::string(kSmallFileLimit + 1, 'x')), SmallFileStatus::TooLarge}};
    for (const auto& [path, status] : small) {
        std::string bytes;
        int cause = 0;
        EXPECT_EQ(ReadSmallFile(path, bytes, cause), status) << path;
        EXPECT_EQ(bytes, status == SmallFileStatus::Ok ? "hello" : "") << path;
    }

    std::string self = platform->ProgramPath();
    EXPECT_EQ(self.substr(self.rfind('/') + 1), "parumero_tests");
    for (auto [tz, minutes] : {std::pair{"JST-9", 540}, {"EST5EDT", -300}}) {  // whatever the season
        test::TzScope scope(tz);
        EXPECT_EQ(platform->StandardTimeZoneOffset(), minutes) << tz;
    }
}

TEST(PosixPlatform, OutputGathersTruncatesAndLocksOutASecondWriter) {
    TempDir t;
    auto platform = MakePosixPlatform();
    std::string path = t.Write("image.iso", "old content that is longer");
    FileError err;
    auto out = platform->CreateOutput(path, err);
    ASSERT_NE(out, nullptr);
    std::string big(3 * 1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7 + i / 4096);
    ASSERT_TRUE(out->Write("abc", 3, err));
    EXPECT_EQ(ReadAll(path), "");  // truncated, and "abc" still gathered
    ASSERT_TRUE(out->Write(big.data(), big.size(), err));
    for (size_t i = 0; i < 1000; ++i) ASSERT_TRUE(out->Write(big.data() + i, 1, err));
    ASSERT_TRUE(out->Flush(err));
    EXPECT_EQ(ReadAll(path), "abc" + big + big.substr(0, 1000));

    // A second build must neither get the file nor damage it.
    FileError second;
    EXPECT_EQ(platform->CreateOutput(path, second), nullptr);
    EXPECT_EQ(std::tie(second.cause, second.path), std::tuple(kCauseSharingViolation, path));
    EXPECT_EQ(ReadAll(path).size(), 3 + big.size() + 1000);

    ASSERT_TRUE(out->Write("z", 1, err));
    ASSERT_TRUE(out->Close(err));
    EXPECT_TRUE(out->Close(err) && !out->Write("z", 1, err));  // closed twice, written no more
    EXPECT_EQ(ReadAll(path).back(), 'z');
    EXPECT_NE(platform->CreateOutput(path, second), nullptr);  // free again after Close
    // Moved by the system, a sparse source's holes stay holes in the image,
    // one at its end too; the bytes are those of the source.
    const std::string sparse = t.Write("sparse", "");
    ASSERT_EQ(::truncate(sparse.c_str(), 8 << 20), 0);
    { std::FILE* f = std::fopen(sparse.c_str(), "r+"); std::fseek(f, (4 << 20) + 1, SEEK_SET); std::fputs("data", f); std::fclose(f); }
    auto in = platform->OpenRead(sparse, err);
    out = platform->CreateOutput(t / "sparse.iso", err);
    ASSERT_TRUE(in && out && out->Write("x", 1, err));
    ASSERT_EQ(out->MoveFrom(*in, 8 << 20, err), 8 << 20);
    ASSERT_TRUE(out->Close(err));
    struct stat st;
    ASSERT_EQ(::stat((t / "sparse.iso").c_str(), &st), 0);
    EXPECT_EQ(ReadAll(t / "sparse.iso"), "x" + ReadAll(sparse));
    EXPECT_LT(st.st_blocks * 512, 1 << 20);
    // A full disk (its cause and report: the command line's image on
    // /dev/full): progress counts only what reached the file.
    out = platform->CreateOutput("/dev/full", err);
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(out->Write("x", 1, err));  // gathered only
    EXPECT_EQ((std::tuple{out->Flush(err), out->Written()}), std::tuple(false, 0u));
}

}  // namespace
}  // namespace pm
