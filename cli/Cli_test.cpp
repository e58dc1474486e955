// The built parumero-cli as a script sees it: exit codes, the texts on its
// streams, and Ctrl-C during a build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "ImageCheck.h"
#include "TempDir.h"

extern char** environ;

namespace pm {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Cli : public ::testing::Test {
protected:
    void SetUp() override {
        tmp.Write("src/a.txt", "alpha");
        tmp.Write("none.ini", "");
        tmp.Write("none.txt", "");
    }

    // Starts the program with stdout and stderr going to files; settings and
    // exclusions come from empty files in the scratch folder.
    pid_t Start(std::vector<std::string> args, bool asGiven = false) {
        if (!asGiven) {
            args.insert(args.begin(), {PARUMERO_CLI_PATH, "--settings", tmp / "none.ini", "--except", tmp / "none.txt"});
            if (args.size() == 5) args.resize(1);  // no arguments at all
        }
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, (tmp / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (tmp / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t pid = -1;
        int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0);
        return rc == 0 ? pid : -1;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    }
    int Run(std::vector<std::string> args, bool asGiven = false) { return Wait(Start(std::move(args), asGiven)); }
    std::string Out() { return ReadAll(tmp / "stdout"); }
    std::string Err() { return ReadAll(tmp / "stderr"); }

    TempDir tmp;
};

TEST_F(Cli, BuildSucceeds) {
    tmp.Write("src/\x93\xfa\x96\x7b\x8c\xea.txt", "sjis");  // a name from a Japanese Windows archive
    ASSERT_EQ(Run({"--kind", "bridge", "--quiet", tmp / "src", tmp / "out/disc"}), 0) << Err();
    EXPECT_EQ(Out(), "イメージの作成が終了しました。\n");
    // ".iso" was added, and the missing folder made.
    test::ExpectImageHolds(ReadAll(tmp / "out/disc.iso"), FileSystemType::UdfBridge,
                           {{"a.txt", "alpha"}, {"日本語.txt", "sjis"}});
}

// SOURCE_DATE_EPOCH replaces the clock in the UDF volume set identifier, so
// two builds of the same inputs are the same bytes.
TEST_F(Cli, SourceDateEpochMakesTheSameBytes) {
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    const std::vector<std::string> args{"--kind", "bridge", "--quiet", "--date", "2024-01-01 00:00:00", tmp / "src"};
    auto first = args, second = args;
    first.push_back(tmp / "1.iso");
    second.push_back(tmp / "2.iso");
    EXPECT_EQ(Run(first), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // another second on the clock
    EXPECT_EQ(Run(second), 0);
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(ReadAll(tmp / "1.iso"), ReadAll(tmp / "2.iso"));
}

// Every refusal: its exit status, what it says, and an existing image left
// as it was.
TEST_F(Cli, RefusalsAndUsage) {
    const std::string keep = tmp.Write("keep.iso", "old image");
    tmp.Write("big.ini", std::string((1 << 20) + 1, ';'));
    tmp.Write("bad/x\xff.txt", "");
    tmp.Write("twins/a", "");
    tmp.Write("twins/a.", "");
    const struct { std::vector<std::string> args; int status; std::string says; } cases[] = {
        {{tmp / "nowhere", keep}, 1, tmp / "nowhere" + "\nフォルダが見つかりません。\n"},
        {{}, 2, "usage: parumero-cli"},
        {{"--kind", "dvd", tmp / "src", keep}, 2, "unknown kind"},
        {{"--date", "2010-04-31", tmp / "src", keep}, 2, "--date"},
        {{"--date", "4294967297-01-01 00:00:00", tmp / "src", keep}, 2, "--date"},
        {{"--label", "0123456789ABCDEF", tmp / "src", keep}, 1, "15 文字以内で入力してください。\n"},
        {{tmp / "src", tmp / "out/"}, 1, tmp / "out/" + "\nフォルダです。"},
        {{tmp / "src", tmp / "src"}, 1, tmp / "src" + "\nフォルダです。"},
        {{"--except", tmp / "src", tmp / "src", keep}, 2, tmp / "src" + "\nファイルを読み込めませんでした。\n通常のファイルではありません。\n"},
        {{"--except", "/dev/zero", tmp / "src", keep}, 2, "通常のファイルではありません。"},
        {{"--except", tmp / "typo.txt", tmp / "src", keep}, 2, "ファイルを読み込めませんでした。\nファイルが見つかりません。\n"},
        {{"--settings", tmp / "src", tmp / "src", keep}, 2, "通常のファイルではありません。"},
        {{"--settings", tmp / "big.ini", tmp / "src", keep}, 2, "ファイルが大きすぎます。"},
        {{"--size", "--except", tmp / "src", tmp / "src"}, 2, "通常のファイルではありません。"},
        {{tmp / "bad", keep}, 1, tmp / "bad/x\\xFF.txt\n以上のファイルとフォルダの名前は"},
        {{tmp / "twins", keep}, 1, tmp / "twins/a\n" + tmp / "twins/a.\n以上"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_EQ(Run(c.args), c.status) << Err();
        EXPECT_NE(Err().find(c.says), std::string::npos) << Err();
        EXPECT_EQ(ReadAll(keep), "old image");
    }
    EXPECT_FALSE(std::filesystem::exists(tmp / "out/.iso"));
    EXPECT_FALSE(std::filesystem::exists(tmp / "src.iso"));
}

// Entries that cannot be taken are listed by the size check, and a build
// says how many it left out.
TEST_F(Cli, SkippedEntriesAreCountedAndListed) {
    ASSERT_EQ(::symlink("nowhere", (tmp / "src/dangling").c_str()), 0);
    ASSERT_EQ(Run({"--size", "--check", tmp / "src"}), 0) << Err();
    EXPECT_NE(Out().find(tmp / "src/dangling (リンク先がありません)\n以上の項目はイメージに含まれません。\n"), std::string::npos);
    ASSERT_EQ(Run({tmp / "src", tmp / "x.iso"}), 0) << Err();
    EXPECT_EQ(Err().rfind("1 個の項目", 0), 0u) << Err();
}

// As a user without the rights: an unreadable folder or file refuses the
// build before the old image is touched.
TEST_F(Cli, UnreadableEntriesRefuseTheBuild) {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs root to switch users";
    tmp.Write("src/closed/inner.txt", "");
    tmp.Write("src/secret.txt", "");
    const std::string keep = tmp.Write("keep.iso", "old image");
    ASSERT_EQ(::chmod(tmp.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod((tmp / "src/closed").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((tmp / "src/secret.txt").c_str(), 0600), 0);
    ASSERT_EQ(::chmod(keep.c_str(), 0666), 0);
    ASSERT_EQ(Run({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", PARUMERO_CLI_PATH,
                   "--settings", tmp / "none.ini", "--except", tmp / "none.txt", tmp / "src", keep},
                  true),
              1);
    EXPECT_EQ(Err(), tmp / "src/closed\nファイルを開けませんでした。\nアクセスが禁止されています。\n" + tmp / "src/secret.txt" +
                         "\nファイルを開けませんでした。\nアクセスが禁止されています。\n\nイメージファイルの作成に失敗しました。\n");
    EXPECT_EQ(ReadAll(keep), "old image");
}

// Ctrl-C stops at the next sector: the partial image stays, shorter than
// announced, and the exit code says the build did not finish.
TEST_F(Cli, InterruptLeavesThePartialImage) {
    const uint64_t size = 3ull << 30;  // sparse: costs no disk until read
    {
        std::ofstream(tmp / "src/big.bin");
    }
    ASSERT_EQ(::truncate((tmp / "src/big.bin").c_str(), off_t(size)), 0);
    const std::string image = tmp / "big.iso";
    pid_t pid = Start({"--kind", "udf", "--quiet", tmp / "src", image});
    ASSERT_GT(pid, 0);
    // Wait until sectors reach the file, then interrupt.
    struct stat st {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((::stat(image.c_str(), &st) != 0 || st.st_size == 0) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ::kill(pid, SIGINT);
    EXPECT_EQ(Wait(pid), 130) << Err();
    EXPECT_EQ(Err(), "中止します。\n");
    EXPECT_EQ(Out(), "");
    ASSERT_EQ(::stat(image.c_str(), &st), 0);
    EXPECT_GT(st.st_size, 0);
    EXPECT_LT(uint64_t(st.st_size), size);
    EXPECT_EQ(st.st_size % 2048, 0);
}

}  // namespace
}  // namespace pm
