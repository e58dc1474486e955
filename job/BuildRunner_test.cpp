// Whole builds through the runner: the outcome rules, every failure with the
// exact report the user sees, stops at any sector, and the image file's fate.
#include "job/BuildRunner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "TempDir.h"
#include "iso9660/IsoTestSupport.h"
#include "job/JobMessages.h"
#include "job/Strings.h"

namespace pm {
namespace {

using test::ExpectImageHolds;

class RecordingSink : public ProgressSink {
public:
    void OnBuildStarted() override { ++started; }
    void OnImageSize(uint64_t total) override { announced = total; }
    bool OnBytesWritten(uint32_t n) override {
        bytes += n;
        ++calls;
        if (calls == 1 && onFirstSector) onFirstSector();
        return stopAfter > 0 && calls >= stopAfter;
    }
    int started = 0;
    uint64_t announced = 0, bytes = 0, calls = 0, stopAfter = 0;
    std::function<void()> onFirstSector;
};

// What the front end shows after a failed build: the entries, then 10048.
std::string FailureReport() {
    TheJobMessages().AddText(10048);
    std::string shown;
    TheJobMessages().ShowAll([&](const std::string& text) { shown = text; });
    return shown;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::map<std::string, std::string> kFiles = {
    {"a.txt", "alpha"},
    {"b.txt", std::string(5000, 'b')},
    {"写真/説明.txt", "説明"},
    {"写真/empty", ""},
};

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        TheJobMessages().Clear();
        for (const auto& [path, content] : kFiles) fake.AddFile("/src/" + path, content);
    }
    void TearDown() override { TheJobMessages().Clear(); }
    bool Run(FileSystemType kind, const std::string& image = "/out/x.iso") {
        return runner.Run("/src", image, kind);
    }
    const std::string& Output() { return fake.outputs["/out/x.iso"]; }

    test::TzScope tz{"JST-9", 540};
    test::FixedVolumeInfo info;
    FakePlatform fake;
    RecordingSink sink;
    BuildRunner runner{fake, &sink};
};

TEST_F(RunnerTest, EveryKindBuildsAndReportsEachSector) {
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::UdfBridge, FileSystemType::Udf}) {
        SCOPED_TRACE(int(kind));
        sink = RecordingSink();
        ASSERT_TRUE(Run(kind)) << TheJobMessages().JoinedText();
        EXPECT_FALSE(runner.Stopped());
        EXPECT_FALSE(TheJobMessages().HasMessages());
        EXPECT_EQ(sink.started, 1);
        EXPECT_EQ(Output().size(), sink.announced);
        EXPECT_EQ(sink.bytes, sink.announced);
        EXPECT_EQ(sink.calls * SectorSize, sink.announced);
        ExpectImageHolds(Output(), kind, kFiles);
    }
}

TEST_F(RunnerTest, SourceDateEpochMakesImagesReproducible) {
    ::setenv("SOURCE_DATE_EPOCH", "1275317998", 1);
    ASSERT_TRUE(Run(FileSystemType::UdfBridge));
    std::string first = Output();
    ASSERT_TRUE(Run(FileSystemType::UdfBridge));
    ::unsetenv("SOURCE_DATE_EPOCH");
    EXPECT_EQ(Output(), first);
}

TEST_F(RunnerTest, MissingSourceFolder) {
    EXPECT_FALSE(runner.Run("/nowhere", "/out/x.iso", FileSystemType::Joliet));
    EXPECT_EQ(sink.announced, 0u);
    EXPECT_EQ(fake.outputs.count("/out/x.iso"), 0u);
    EXPECT_EQ(FailureReport(), "/nowhere\nフォルダが見つかりません。\n\nイメージファイルの作成に失敗しました。");
}

TEST_F(RunnerTest, ImageCannotBeCreated) {
    fake.createCause = kCauseAccessDenied;
    EXPECT_FALSE(Run(FileSystemType::Joliet));
    EXPECT_EQ(sink.calls, 0u);
    EXPECT_EQ(fake.outputs.count("/out/x.iso"), 0u);
    EXPECT_EQ(FailureReport(),
              "/out/x.iso\nイメージファイルを開けませんでした。\nアクセスが禁止されています。\n\n"
              "イメージファイルの作成に失敗しました。");
}

// The five lines of a full disk; the image keeps what was written before.
TEST_F(RunnerTest, DiskFullIsReportedOnce) {
    fake.outputFailAfter = 20 * SectorSize;
    EXPECT_FALSE(Run(FileSystemType::Joliet));
    EXPECT_FALSE(runner.Stopped());
    EXPECT_EQ(Output().size(), 20u * SectorSize);
    EXPECT_EQ(sink.calls, 20u);
    EXPECT_EQ(FailureReport(),
              "/out/x.iso\nイメージファイルへの書き込みに失敗しました。\nディスクが満杯です。\n\n"
              "イメージファイルの作成に失敗しました。");
}

TEST_F(RunnerTest, SourceFileFailures) {
    struct Case {
        int openCause;
        long long readFailAfter;
        const char* report;
    } cases[] = {
        {kCauseFileNotFound, -1, "/src/b.txt\nファイルを開けませんでした。\nファイルが見つかりません。"},
        {kCauseSharingViolation, -1, "/src/b.txt\nファイルを開けませんでした。\nファイルを使用中です。"},
        {kCauseNone, 3000, "/src/b.txt\nファイルの読み取りに失敗しました。\nハードウェアのエラーです。"},
    };
    FakeNode* b = fake.Find("/src/b.txt");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.report);
        b->openCause = c.openCause;
        b->readFailAfter = c.readFailAfter;
        EXPECT_FALSE(Run(FileSystemType::Joliet));
        EXPECT_FALSE(runner.Stopped());
        EXPECT_EQ(FailureReport(), std::string(c.report) + "\n\nイメージファイルの作成に失敗しました。");
        // Two folders: directories up to 26, a.txt at 27 is in; of b.txt
        // (28-30) at most the sector read before the failure.
        const size_t sectors = Output().size() / SectorSize;
        EXPECT_EQ(Output().size() % SectorSize, 0u);
        EXPECT_GE(sectors, 28u);
        EXPECT_LE(sectors, c.readFailAfter < 0 ? 28u : 29u);
    }
}

// The file keeps exactly the sectors written before the stop was noticed,
// and a stop is no failure.
TEST_F(RunnerTest, StopAfterAnySector) {
    for (uint64_t n : {1, 3, 16, 17, 25, 27}) {
        SCOPED_TRACE(n);
        sink = RecordingSink();
        sink.stopAfter = n;
        EXPECT_TRUE(Run(FileSystemType::Joliet));
        EXPECT_TRUE(runner.Stopped());
        EXPECT_FALSE(TheJobMessages().HasMessages());
        EXPECT_EQ(Output().size(), n * SectorSize);
        EXPECT_LT(Output().size(), sink.announced);
    }
    // The next build runs to the end.
    sink = RecordingSink();
    EXPECT_TRUE(Run(FileSystemType::Udf));
    EXPECT_FALSE(runner.Stopped());
    EXPECT_EQ(Output().size(), sink.announced);
}

TEST_F(RunnerTest, FileTooLargeForIsoIsRefusedBeforeWriting) {
    fake.AddSizedFile("/src/huge.bin", 5ull << 30);
    EXPECT_FALSE(Run(FileSystemType::UdfBridge));
    EXPECT_EQ(sink.announced, 0u);
    EXPECT_EQ(fake.outputs.count("/out/x.iso"), 0u);
    EXPECT_EQ(FailureReport(), "huge.bin\n" + LoadString(10078) + "\n\nイメージファイルの作成に失敗しました。");
}

// On the real file system, through the POSIX platform.
class RunnerOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        TheJobMessages().Clear();
        tmp.Write("src/a.txt", "alpha");
        tmp.Write("src/sub/b.txt", std::string(3000, 'b'));
    }
    void TearDown() override { TheJobMessages().Clear(); }

    test::TzScope tz{"JST-9", 540};
    test::FixedVolumeInfo info;
    TempDir tmp;
    std::unique_ptr<Platform> platform = MakePosixPlatform(false);
    RecordingSink sink;
    BuildRunner runner{*platform, &sink};
};

TEST_F(RunnerOnDisk, ParentIsAFile) {
    const std::string image = tmp / "src/a.txt/x.iso";
    EXPECT_FALSE(runner.Run(tmp / "src", image, FileSystemType::Joliet));
    EXPECT_EQ(FailureReport(), image + "\nイメージファイルを開けませんでした。\nパスが不正です。\n\n"
                                       "イメージファイルの作成に失敗しました。");
    EXPECT_EQ(ReadAll(tmp / "src/a.txt"), "alpha");
}

TEST_F(RunnerOnDisk, DevFullFailsWithOneReport) {
    struct stat st;
    if (::stat("/dev/full", &st) != 0) GTEST_SKIP() << "no /dev/full";
    // Small: the failure shows when the gathered bytes are flushed. Large:
    // during a write.
    for (size_t size : {size_t(0), size_t(3) << 20}) {
        SCOPED_TRACE(size);
        tmp.Write("src/big.bin", std::string(size, 'x'));
        EXPECT_FALSE(runner.Run(tmp / "src", "/dev/full", FileSystemType::Udf));
        ASSERT_EQ(TheJobMessages().Entries().size(), 1u);
        EXPECT_EQ(FailureReport(), "/dev/full\nイメージファイルへの書き込みに失敗しました。\nディスクが満杯です。\n\n"
                                   "イメージファイルの作成に失敗しました。");
    }
}

TEST_F(RunnerOnDisk, NameThatDoesNotFitLeavesTheOldImage) {
    const std::string longName(70, 'n');
    tmp.Write("src/" + longName, "x");
    const std::string image = tmp.Write("old.iso", "the previous image");
    // With 8.3 aliases the name passes ISO 9660 and is too long for Joliet.
    std::unique_ptr<Platform> withAliases = MakePosixPlatform(true);
    BuildRunner aliasing(*withAliases, &sink);
    EXPECT_FALSE(aliasing.Run(tmp / "src", image, FileSystemType::Joliet));
    EXPECT_EQ(sink.announced, 0u);
    EXPECT_EQ(ReadAll(image), "the previous image");
    EXPECT_EQ(FailureReport(), longName + "\n" + LoadString(10070) + "\n\nイメージファイルの作成に失敗しました。");
}

// While one build holds the image, a second one cannot open it, and the
// first one's image comes out whole.
TEST_F(RunnerOnDisk, SecondBuildOnTheSameImage) {
    const std::string image = tmp / "x.iso";
    std::vector<std::string> secondReport;
    bool secondResult = true;
    sink.onFirstSector = [&] {
        BuildRunner second(*platform, nullptr);
        secondResult = second.Run(tmp / "src", image, FileSystemType::Joliet);
        secondReport = TheJobMessages().Entries();
        TheJobMessages().Clear();
    };
    EXPECT_TRUE(runner.Run(tmp / "src", image, FileSystemType::Joliet));
    EXPECT_FALSE(secondResult);
    ASSERT_EQ(secondReport.size(), 1u);
    EXPECT_EQ(secondReport[0], image + "\nイメージファイルを開けませんでした。\nファイルを使用中です。");
    std::string bytes = ReadAll(image);
    EXPECT_EQ(bytes.size(), sink.announced);
    ExpectImageHolds(bytes, FileSystemType::Joliet, {{"a.txt", "alpha"}, {"sub/b.txt", std::string(3000, 'b')}});
}

// An image written into the source folder is not read into itself.
TEST_F(RunnerOnDisk, ImageInsideTheSourceIsLeftOut) {
    const std::string image = tmp.Write("src/disc.iso", "an older image");
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::Udf}) {
        SCOPED_TRACE(int(kind));
        ASSERT_TRUE(runner.Run(tmp / "src", image, kind)) << TheJobMessages().JoinedText();
        ExpectImageHolds(ReadAll(image), kind, {{"a.txt", "alpha"}, {"sub/b.txt", std::string(3000, 'b')}});
    }
}

}  // namespace
}  // namespace pm
