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
    void SetUp() override { tmp.Write("src/a.txt", "alpha"); }

    // Starts the program with stdout and stderr going to files; settings and
    // exclusions come from (missing) files in the scratch folder.
    pid_t Start(std::vector<std::string> args) {
        args.insert(args.begin(), {PARUMERO_CLI_PATH, "--settings", tmp / "none.ini", "--except", tmp / "none.txt"});
        if (args.size() == 5) args.resize(1);  // no arguments at all
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
    int Run(std::vector<std::string> args) { return Wait(Start(std::move(args))); }
    std::string Out() { return ReadAll(tmp / "stdout"); }
    std::string Err() { return ReadAll(tmp / "stderr"); }

    TempDir tmp;
};

TEST_F(Cli, BuildSucceeds) {
    ASSERT_EQ(Run({"--kind", "bridge", "--quiet", "--verify-after", tmp / "src", tmp / "out/disc"}), 0) << Err();
    EXPECT_EQ(Out(), "イメージの作成が終了しました。\nidentical (1 folder, 1 file, 5 bytes compared)\n");
    // ".iso" was added, and the missing folder made.
    test::ExpectImageHolds(ReadAll(tmp / "out/disc.iso"), FileSystemType::UdfBridge, {{"a.txt", "alpha"}});
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

TEST_F(Cli, RefusalsAndUsage) {
    EXPECT_EQ(Run({tmp / "nowhere", tmp / "x.iso"}), 1);
    EXPECT_EQ(Err(), tmp / "nowhere" + "\nフォルダが見つかりません。\n");
    EXPECT_EQ(Run({}), 2);
    EXPECT_NE(Err().find("usage: parumero-cli"), std::string::npos);
    EXPECT_EQ(Run({"--kind", "dvd", tmp / "src", tmp / "x.iso"}), 2);
    EXPECT_EQ(Run({"--date", "2010-04-31", tmp / "src", tmp / "x.iso"}), 2);
    EXPECT_EQ(Run({"--verify", tmp / "src"}), 2);
    EXPECT_EQ(Run({"--verify", tmp / "src", tmp / "x.iso"}), 1);
    EXPECT_EQ(Err(), "parumero-cli: " + tmp / "x.iso" + " cannot be read: No such file or directory\n");
    EXPECT_EQ(Run({"--names", "--kind", "udf", tmp / "src"}), 0);
    EXPECT_EQ(Out(), ".\t\t\tsrc\t0\t\na.txt\t\t\ta.txt\t0\t\n");
    tmp.Write("src/" + std::string(65, 'n'), "");
    EXPECT_EQ(Run({"--names", "--no-short-names", tmp / "src"}), 1);
    EXPECT_NE(Out().find("\t0\t8.3 name longer than 12 bytes; Joliet name longer than 64 characters\n"), std::string::npos);
    EXPECT_EQ(Run({"--label", "0123456789ABCDEF", tmp / "src", tmp / "x.iso"}), 1);
    EXPECT_EQ(Err(), "15 文字以内で入力してください。\n");
    EXPECT_FALSE(std::filesystem::exists(tmp / "x.iso"));
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
