// The command line's parser, and the built parumero-cli as a script or a
// terminal sees it: exit codes, the texts on its streams, the progress line,
// and Ctrl-C during a build.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "ImageCheck.h"
#include "TempDir.h"
#include "cli/Options.h"

extern char** environ;

namespace pm {
namespace {

// Every option form and every refusal: the arguments, then what the options
// hold or the refusal. (Two plain arguments, --kind udf, --size --check and
// --kind dvd: the built program's tests.)
TEST(CliOptions, EveryFormAndEveryRefusal) {
    auto describe = [](const cli::Options& o) {
        std::ostringstream s;
        s << "kind=" << int(o.kind) << (o.label ? " label=" + *o.label : "") << (o.date ? " date=" + *o.date : "")
          << (o.settingsFile.empty() ? "" : " settings=" + o.settingsFile)
          << (o.exceptFile.empty() ? "" : " except=" + o.exceptFile) << (o.shortNames ? "" : " no-short")
          << (o.size ? " size" : "") << (o.check ? " check" : "") << (o.quiet ? " quiet" : "")
          << (o.help ? " help" : "") << (o.version ? " version" : "") << " [" << o.source << "][" << o.image << "]";
        return s.str();
    };
    const struct {
        std::vector<std::string> args;
        std::string outcome;
    } rows[] = {
        {{"a", "--kind=bridge", "b"}, "kind=1 [a][b]"},
        {{"--label=", "--date=2024-01-02 03:04:05", "a", "-"}, "kind=0 label= date=2024-01-02 03:04:05 [a][-]"},
        {{"--label", "x=y", "--settings", "s.ini", "--except=e.txt", "--no-short-names", "--quiet", "a", "b"},
         "kind=0 label=x=y settings=s.ini except=e.txt no-short quiet [a][b]"},
        {{"--", "--size", "-"}, "kind=0 [--size][-]"},
        {{"-h", "--frob"}, "kind=0 help [][]"},
        {{"-V"}, "kind=0 version [][]"},
        {{"a", "--version"}, "kind=0 version [a][]"},
        {{"--frob=1"}, "refused: 不明なオプションです: --frob"},
        {{"-x", "a", "b"}, "refused: 不明なオプションです: -x"},
        {{"a", "b", "--kind"}, "refused: --kind には値が必要です"},
        {{"--quiet=1", "a", "b"}, "refused: --quiet は値をとりません"},
        {{"--date", "2010-04-31", "a", "b"}, "refused: --date は \"YYYY-MM-DD HH:MM:SS\" の形で指定します"},
        {{"a"}, "refused: SOURCE と IMAGE を指定してください"},
        {{"--size", "a", "b"}, "refused: --size には SOURCE を一つ指定します"},
        {{"--check", "a", "b"}, "refused: --check は --size と一緒に使います"},
        {{"--label", "0123456789ABCDEF", "a", "b"}, "refused: 15 文字以内で入力してください。"},
        {{"--label", "a\tb", "a", "b"}, "refused: --label には制御文字 (タブ、改行など) を使えません"},
        {{"--label=a\nb", "a", "b"}, "refused: --label には制御文字 (タブ、改行など) を使えません"},
        {{"--label", "\x01", "a", "b"}, "refused: --label には制御文字 (タブ、改行など) を使えません"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"parumero-cli"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        cli::Options o;
        std::string refusal;
        const bool accepted = cli::ParseOptions(int(argv.size()), argv.data(), o, refusal);
        EXPECT_EQ(accepted ? describe(o) + refusal : "refused: " + refusal, row.outcome) << args[1];
    }
}

class Cli : public ::testing::Test {
protected:
    // The texts compared are the Japanese ones; settings and exclusions come
    // from empty files in the scratch folder.
    void SetUp() override {
        tmp.Write("src/a.txt", "alpha");
        tmp.Write("none.ini", "");
        tmp.Write("none.txt", "");
        ::setenv("LC_ALL", "ja_JP.UTF-8", 1);
    }
    void TearDown() override { ::unsetenv("LC_ALL"); }

    // Starts the program (behind `prefix`, another program that runs it) with
    // stdout and stderr going to files, or to the descriptors given.
    pid_t Start(std::vector<std::string> args, int errFd = -1, int outFd = -1, std::vector<std::string> prefix = {}) {
        args.insert(args.begin(), {PARUMERO_CLI_PATH, "--settings", tmp / "none.ini", "--except", tmp / "none.txt"});
        args.insert(args.begin(), prefix.begin(), prefix.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        else posix_spawn_file_actions_addopen(&actions, 1, (tmp / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
        else posix_spawn_file_actions_addopen(&actions, 2, (tmp / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        // With the stop signals blocked, one sent at once waits until the
        // program installs its handlers: a stop before any work, by structure.
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        if (blockStops) {
            sigset_t stops;
            sigemptyset(&stops);
            sigaddset(&stops, SIGINT);
            sigaddset(&stops, SIGTERM);
            posix_spawnattr_setsigmask(&attr, &stops);
            posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
        }
        pid_t pid = -1;
        int rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        EXPECT_EQ(rc, 0);
        return rc == 0 ? pid : -1;
    }
    // The exit status (1000 + the signal of a killed program); after
    // `seconds` the program is killed: a hang fails the test (-2) instead of
    // stalling the suite. A bound, not a measure of speed.
    static int Wait(pid_t pid, int seconds = 600) {
        if (pid <= 0) return -1;
        for (int i = 0; i < seconds * 100; ++i) {
            int status = 0;
            const pid_t done = waitpid(pid, &status, WNOHANG);
            if (done == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
            if (done < 0) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return -2;
    }
    int Run(std::vector<std::string> args, int errFd = -1, int outFd = -1, std::vector<std::string> prefix = {}) {
        return Wait(Start(std::move(args), errFd, outFd, std::move(prefix)));
    }
    std::string Out() { return ReadAll(tmp / "stdout"); }
    std::string Err() { return ReadAll(tmp / "stderr"); }

    TempDir tmp;
    bool blockStops = false;  // start the program with SIGINT and SIGTERM blocked
};

// A build and its check; the same bytes a second later under another locale
// down standard output (SOURCE_DATE_EPOCH replaces the clock in the UDF
// volume set identifier); an older image inside the source left out.
TEST_F(Cli, BuildSucceeds) {
    tmp.Write("src/\x93\xfa\x96\x7b\x8c\xea.txt", "sjis");  // a name from a Japanese Windows archive
    std::string big(300001, 'b');  // past the piece read ahead, and not whole sectors: moved by the kernel
    for (size_t i = 0; i < big.size(); i += 4099) big[i] = char(i);
    tmp.Write("src/big.bin", big);
    const std::map<std::string, std::string> files{{"a.txt", "alpha"}, {"big.bin", big}, {"日本語.txt", "sjis"}};
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    std::vector<std::string> args{"--kind", "bridge", "--date", "2024-01-01 00:00:00", "--verify-after", tmp / "src", tmp / "out/disc"};
    ASSERT_EQ(Run(args), 0) << Err();
    EXPECT_EQ(Out(), "イメージの作成が終了しました。\n一致しました (フォルダ 1 個、ファイル 3 個、300,010 バイトを比較)\n");
    // ".iso" was added, and the missing folder made.
    const std::string image = ReadAll(tmp / "out/disc.iso");
    test::ExpectImageHolds(image, FileSystemType::UdfBridge, files);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // another second on the clock
    ::setenv("LC_ALL", "C", 1);
    args.back() = "-";  // into a pipe, where the file data is copied, not moved by the kernel
    EXPECT_EQ(Run(args, -1, -1, {"/bin/sh", "-c", "\"$0\" \"$@\" | cat"}), 0) << Err();
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_TRUE(Out() == image);
    EXPECT_EQ((std::tuple{Run({"--verify", "--kind", "bridge", tmp / "src", tmp / "out/disc.iso"}), Out()}),
              std::tuple(0, "identical (1 folder, 3 files, 300,010 bytes compared)\n"));  // what scripts parse
    // An older image inside the source is rewritten, and not read into the new one.
    const std::string old = tmp.Write("src/old.iso", "an older image");
    EXPECT_EQ((std::tuple{Run({"--quiet", tmp / "src", old}), Out() + Err()}), std::tuple(0, ""));
    test::ExpectImageHolds(ReadAll(old), FileSystemType::Joliet, files);
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
        {{"--kind", "dvd", tmp / "src", keep}, 2, "parumero-cli: ファイルシステム dvd はありません (joliet、bridge、udf)\n"
                                                  "詳しくは parumero-cli --help を見てください。\n"},
        {{tmp / "src", tmp / "out/"}, 1, tmp / "out/" + "\nフォルダです。"},
        {{tmp / "src", tmp / "src"}, 1, tmp / "src" + "\nフォルダです。"},
        {{tmp / "src", tmp / "src/a.txt/x.iso"}, 1, tmp / "src/a.txt/x.iso" + "\nイメージファイルを開けませんでした。\nパスが不正です。\n"},
        {{"--except", tmp / "src", tmp / "src", keep}, 2, tmp / "src" + "\nファイルを読み込めませんでした。\n通常のファイルではありません。\n"},
        {{"--except", tmp / "typo.txt", tmp / "src", keep}, 2, "ファイルを読み込めませんでした。\nファイルが見つかりません。\n"},
        {{"--settings", tmp / "big.ini", tmp / "src", keep}, 2, "ファイルが大きすぎます。"},
        {{tmp / "bad", keep}, 1, tmp / "bad/x\\xFF.txt\n以上のファイルとフォルダの名前は"},
        {{tmp / "twins", keep}, 1, tmp / "twins/a\n" + tmp / "twins/a.\n以上"},
        {{"--verify", tmp / "src", tmp / "x.iso"}, 1, "parumero-cli: " + tmp / "x.iso" + " を読み取れません: ファイルが見つかりません。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says);
        EXPECT_EQ((std::tuple{Run(c.args), Err().find(c.says) != std::string::npos, ReadAll(keep) == "old image"}),
                  std::tuple(c.status, true, true)) << Err();
    }
    EXPECT_FALSE(std::filesystem::exists(tmp / "out/.iso") || std::filesystem::exists(tmp / "src.iso"));
    EXPECT_EQ(ReadAll(tmp / "src/a.txt"), "alpha");
    ::setenv("LC_ALL", "C", 1);
    EXPECT_EQ((std::tuple{Run({"--help"}), Out().rfind("usage: parumero-cli", 0)}), std::tuple(0, 0u));
    for (const char* option : {"--verify ", "--verify-after ", "--names ", "--hide-dot-files "})
        EXPECT_NE(Out().find(option), std::string::npos) << option;
    EXPECT_EQ((std::tuple{Run({"--size", tmp / "src"}), Out()}),
              std::tuple(0, "Size of the image file: 26 sectors  53,248 bytes\nFits on a CD 700 MB.\n"));
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    EXPECT_EQ((std::tuple{Run({"--size", tmp / "src"}, -1, full), Err()}), std::tuple(1, "parumero-cli: Writing to standard output failed.\n"));
    // The image's bytes fail at the last flush: reported once, not as a success.
    EXPECT_EQ(Run({tmp / "src", "-"}, -1, full), 1);
    ::close(full);
    EXPECT_EQ(Err(), "standard output\nWriting to the image file failed.\nDisk full.\n\nThe image file could not be created.\n");
    // A tab or newline in a name stays on its line, escaped (UDF takes them).
    tmp.Write("ctl/a\tb\nc", "");
    for (auto [folder, names] : {std::pair{"src", "a.txt\t\t\ta.txt"}, {"ctl", "a\\tb\\nc\t\t\ta\\tb\\nc"}})
        EXPECT_EQ((std::tuple{Run({"--names", "--kind", "udf", tmp / folder}), Out()}),
                  std::tuple(0, ".\t\t\t" + std::string(folder) + "\t0\t\n" + names + "\t0\t\n"));
    // SOURCE_DATE_EPOCH that is no number: said, and the build goes on; quiet
    // --verify-after prints nothing on success.
    ::setenv("SOURCE_DATE_EPOCH", "yesterday", 1);
    EXPECT_EQ((std::tuple{Run({"--quiet", "--verify-after", tmp / "src", tmp / "e.iso"}), Out(), Err()}),
              std::tuple(0, "", "parumero-cli: SOURCE_DATE_EPOCH (yesterday) is not a number of seconds; it is ignored\n"));
    ::unsetenv("SOURCE_DATE_EPOCH");
    tmp.Write("src/" + std::string(65, 'n'), "");
    EXPECT_EQ(Run({"--names", "--no-short-names", tmp / "src"}), 1);
    EXPECT_NE(Out().find("\t0\t8.3 name longer than 12 bytes; Joliet name longer than 64 characters\n"), std::string::npos);
}

// As a user without the rights: an unreadable folder or file refuses the
// build before the old image is touched.
TEST_F(Cli, UnreadableEntriesRefuseTheBuild) {
    if (::geteuid() != 0 || ::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "needs root to switch users";
    tmp.Write("src/closed/inner.txt", "");
    tmp.Write("src/secret.txt", "");
    const std::string keep = tmp.Write("keep.iso", "old image");
    for (auto [path, mode] : {std::pair{tmp.Path(), 0755}, {tmp / "src/closed", 0700}, {tmp / "src/secret.txt", 0600}, {keep, 0666}})
        ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
    const std::vector<std::string> nobody{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    const std::string closed = tmp / "src/closed\nファイルを開けませんでした。\nアクセスが禁止されています。\n" + tmp / "src/secret.txt" +
                               "\nファイルを開けませんでした。\nアクセスが禁止されています。\n";
    ASSERT_EQ(Run({tmp / "src", keep}, -1, -1, nobody), 1);
    EXPECT_EQ(Err() + ReadAll(keep), closed + "\nイメージファイルの作成に失敗しました。\nold image");
    // --verify of an image made by one who may read all stops the same way,
    // and calls nothing of the closed folder missing from the source.
    ASSERT_EQ(Run({"--quiet", tmp / "src", keep}), 0) << Err();
    ASSERT_EQ(::chmod(keep.c_str(), 0644), 0);
    EXPECT_EQ((std::tuple{Run({"--verify", tmp / "src", keep}, -1, -1, nobody), Out(), Err()}), std::tuple(1, "", closed));
}

// An image in a missing folder of a read-only file system (a tmpfs mounted
// read-only in a mount namespace of its own): the cause is named as it is.
TEST_F(Cli, ImageOnAReadOnlyFileSystem) {
    if (::geteuid() != 0 || ::access("/usr/bin/unshare", X_OK) != 0) GTEST_SKIP() << "needs root to mount";
    ::mkdir((tmp / "ro").c_str(), 0755);
    const std::vector<std::string> readOnly{"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                                            "mount -t tmpfs -o ro none \"$1\" && shift && exec \"$@\"", "sh", tmp / "ro"};
    EXPECT_EQ(Run({tmp / "src", tmp / "ro/new/x.iso"}, -1, -1, readOnly), 1);
    EXPECT_EQ(Err(), tmp / "ro/new/x.iso\nイメージファイルを開けませんでした。\n読み取り専用のファイルシステムです。\n\n"
                     "イメージファイルの作成に失敗しました。\n");
}

// Names that differ only in letter case go in, and are reported: listed by
// --size --check and --names with the name each meets, counted after a build
// with the readers that open only one of a pair; the links and special files
// each counted as what they are.
TEST_F(Cli, CaseTwinsAndSkippedEntriesAreReported) {
    tmp.Write("src/doc/Index.html", "upper");
    tmp.Write("src/doc/index.html", "lower");
    tmp.Write("src/inc/xt_MARK.h", "MARK");
    tmp.Write("src/inc/xt_mark.h", "mark");
    ASSERT_EQ(::symlink("nowhere", (tmp / "src/dangling").c_str()), 0);
    ASSERT_EQ(::symlink("..", (tmp / "src/inc/up").c_str()), 0);
    ASSERT_EQ(::mkfifo((tmp / "src/fifo").c_str(), 0644), 0);
    const struct timespec future[2] = {{7258118400, 0}, {7258118400, 0}};  // 2200-01-01
    ASSERT_EQ(::utimensat(AT_FDCWD, (tmp / "src/a.txt").c_str(), future, 0), 0);
    ASSERT_EQ(Run({"--size", "--check", "--kind", "bridge", tmp / "src"}), 0) << Err();
    for (const std::string& listed :
         {tmp / "src/dangling (リンク先がありません)\n",
          tmp / "src/a.txt (更新日時が 2155 年より後: ISO 9660 と Joliet には 2155-12-31 23:59:59 と記録されます)\n",
          "以上の項目はイメージに含まれません。\n" + tmp / "src/inc/up (親フォルダへのリンク。空のフォルダとして入ります)\n",
          tmp / "src/doc/Index.html (index.html と大文字・小文字だけが違います)\n" + tmp.Path() +
              "/src/inc/xt_MARK.h (xt_mark.h と大文字・小文字だけが違います)\n"
              "以上の名前は、同じフォルダの別の名前と大文字・小文字だけが違います。イメージには両方とも入ります。 "
              "Windows (Joliet と UDF) と Linux カーネルの Joliet では組の一方しか開けません。"
              "両方とも開けるのは Linux カーネルの UDF、7-Zip、bsdtar、xorriso です。\n"})
        EXPECT_NE(Out().find(listed), std::string::npos) << listed << Out();
    EXPECT_EQ(Run({"--names", tmp / "src"}), 0);
    EXPECT_NE(Out().find("doc/Index.html\tINDEX~1.HTM;1\tIndex.html\t\t0\tdiffers from \"index.html\" only in letter case: "
                         "one of the two on Windows and Linux's Joliet; both in 7-Zip, bsdtar, xorriso\n"), std::string::npos) << Out();
    ASSERT_EQ(Run({"--kind", "bridge", "--quiet", "--verify-after", tmp / "src", tmp / "b.iso"}), 0) << Err() << Out();
    ASSERT_EQ(Run({"--kind", "udf", tmp / "src", tmp / "x.iso"}), 0) << Err();
    EXPECT_EQ(Err(), "2 個の項目 (リンク先のないリンク 1、特殊ファイル 1) はイメージに含まれていません。一覧は --size --check で表示されます。\n"
                     "1 個の親フォルダへのリンクは空のフォルダとしてイメージに入っています。一覧は --size --check で表示されます。\n"
                     "2 組の名前が大文字・小文字だけで違います。一覧は --size --check で表示されます。 "
                     "Windows では組の一方しか開けません。両方とも開けるのは Linux カーネルの UDF と 7-Zip です。\n");
    test::ExpectImageHolds(ReadAll(tmp / "x.iso"), FileSystemType::Udf,
                           {{"a.txt", "alpha"}, {"doc/Index.html", "upper"}, {"doc/index.html", "lower"},
                            {"inc/xt_MARK.h", "MARK"}, {"inc/xt_mark.h", "mark"}});
}

// Stops and limits: a stop that comes before the first byte is written
// leaves an existing image as it was (exit 130); a build and its check work
// under an open-file limit of 64; --verify of a FIFO ends at once (killed
// after a generous bound, were it to hang).
TEST_F(Cli, StopsAndLimits) {
    for (int i = 0; i < 1000; ++i) tmp.Write("src/many/f" + std::to_string(i), std::to_string(i));
    const std::string keep = tmp.Write("prev.iso", "old image");
    blockStops = true;
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const pid_t pid = Start({tmp / "src", keep});
        ASSERT_GT(pid, 0);
        ::kill(pid, signal);  // pending until the program takes it
        EXPECT_EQ((std::tuple{Wait(pid, 120), Err(), Out(), ReadAll(keep)}), std::tuple(130, "中止します。\n", "", "old image"));
    }
    blockStops = false;
    const std::vector<std::string> limited{"/bin/sh", "-c", "ulimit -n 64 && exec \"$@\"", "sh"};
    EXPECT_EQ((std::tuple{Run({"--quiet", tmp / "src", keep}, -1, -1, limited), Err()}), std::tuple(0, ""));
    EXPECT_EQ(Run({"--verify", tmp / "src", keep}, -1, -1, limited), 0) << Err();
    EXPECT_EQ(Out(), "一致しました (フォルダ 2 個、ファイル 1001 個、2,895 バイトを比較)\n");
    const std::string fifo = tmp / "fifo.iso";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(Wait(Start({"--verify", tmp / "src", fifo}), 120), 1);
    EXPECT_EQ(Err().rfind("parumero-cli: " + fifo + " を読み取れません: ", 0), 0u) << Err();
}

// On terminals of 40 and 200 columns the progress line never reaches the last
// column (it would wrap, and every redraw would scroll); the throughput shows
// only where there is room. The image is never written onto a terminal.
TEST_F(Cli, ProgressLineFitsTheTerminal) {
    auto columnsOf = [](const std::string& s) {  // our texts: ASCII, and kana and kanji two columns wide
        size_t n = 0;
        for (unsigned char c : s) n += c < 0x80 ? 1 : (c >= 0xE3 && c <= 0xE9) ? 2 : 0;
        return n;
    };
    for (unsigned short columns : {40, 200}) {
        int master = -1, slave = -1;
        struct winsize ws {};
        ws.ws_col = columns;
        ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &ws), 0);
        pid_t pid = Start({tmp / "src", tmp / "x.iso"}, slave);
        ::close(slave);
        std::string shown;
        char buf[4096];
        for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) shown.append(buf, size_t(n));
        ::close(master);
        ASSERT_EQ(Wait(pid), 0) << shown;
        EXPECT_EQ(shown.find("MB/s") != std::string::npos, columns == 200) << shown;
        EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 1) << shown;
        for (size_t at = 0, end; at < shown.size(); at = end + 1) {
            end = std::min(shown.find_first_of("\r\n", at), shown.size());
            std::string piece = shown.substr(at, end - at);
            if (piece.rfind("\x1b[K", 0) == 0) piece.erase(0, 3);
            EXPECT_LT(columnsOf(piece), columns) << piece;
        }
    }
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(Wait(Start({tmp / "src", "-"}, -1, slave)), 2);
    ::close(slave);
    ::close(master);
    EXPECT_EQ(Err(), "parumero-cli: 標準出力が端末です。イメージはファイルかパイプに書き出してください。\n");
}

// Ctrl-C stops at the next sector: the partial image stays, shorter than
// announced, and the exit code says the build did not finish.
TEST_F(Cli, InterruptLeavesThePartialImage) {
    const uint64_t size = 3ull << 30;  // sparse: costs no disk until read
    ASSERT_EQ(::truncate(tmp.Write("src/big.bin", "").c_str(), off_t(size)), 0);
    const std::string image = tmp / "big.iso";
    pid_t pid = Start({"--kind", "udf", tmp / "src", image});
    ASSERT_GT(pid, 0);
    // Wait until sectors reach the file, then interrupt.
    struct stat st {};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while ((::stat(image.c_str(), &st) != 0 || st.st_size == 0) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ::kill(pid, SIGINT);
    // Nothing on standard output a script could take for the finished message.
    EXPECT_EQ((std::tuple{Wait(pid), Err(), Out()}), std::tuple(130, "中止します。\n", ""));
    ASSERT_EQ(::stat(image.c_str(), &st), 0);
    EXPECT_TRUE(st.st_size > 0 && uint64_t(st.st_size) < size) << st.st_size;
}

}  // namespace
}  // namespace pm
