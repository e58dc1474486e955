// Whole builds through the runner: the outcome rules, every failure with the
// exact report the user sees, stops at any sector, and the image file's fate.
#include "job/BuildRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "FakePlatform.h"
#include "ImageCheck.h"
#include "job/SizePreview.h"
#include "iso9660/IsoTestSupport.h"
#include "messages/JobMessages.h"
#include "messages/Strings.h"

namespace pm {
namespace {

class RecordingSink : public ProgressSink {
public:
    void OnBuildStarted() override { ++started; }
    void OnImageSize(uint64_t total) override {
        announced = total;
        if (beforeWriting) beforeWriting();
    }
    bool OnBytesWritten(uint32_t n) override {
        bytes += n;
        ++calls;
        return stopAfter > 0 && calls >= stopAfter;
    }
    std::function<void()> beforeWriting;
    int started = 0;
    uint64_t announced = 0, bytes = 0, calls = 0, stopAfter = 0;
};

// What the front end shows after a failed build: the entries, then 10048.
std::string FailureReport(BuildReport& report) {
    report.failures.AddText(10048);
    std::string shown;
    report.failures.ShowAll([&](const std::string& text) { shown = text; });
    return shown;
}

BuildRequest Request(const std::string& source, FileSystemType kind, const std::string& image = "/out/x.iso") {
    BuildRequest r = test::GoldenRequest(source, kind);
    r.imagePath = image;
    return r;
}

using Outcome = BuildReport::Outcome;

const std::map<std::string, std::string> kFiles = {
    {"a.txt", "alpha"},
    {"b.txt", std::string(5000, 'b')},
    {"写真/説明.txt", "説明"},
    {"写真/empty", ""},
};

class RunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& [path, content] : kFiles) fake.AddFile("/src/" + path, content);
    }
    BuildReport Run(FileSystemType kind) { return runner.Run(Request("/src", kind)); }
    const std::string& Output() { return fake.outputs["/out/x.iso"]; }

    test::TzScope tz{"JST-9"};
    FakePlatform fake;
    RecordingSink sink;
    BuildRunner runner{fake, &sink};
};

// Each failure: the report the user sees, and what the image file keeps
// (nothing when it was never created). With two folders the directories
// end at 26, a.txt is 27 and b.txt 28-30: a failing source file leaves at
// most the sector read before the failure.
TEST_F(RunnerTest, Failures) {
    const struct {
        const char* source;
        std::function<void(FakePlatform&)> arrange;
        const char* report;
        int minSectors, maxSectors;  // -1: no image file
    } cases[] = {
        {"/nowhere", [](FakePlatform&) {}, "/nowhere\nフォルダが見つかりません。", -1, -1},
        {"/src", [](FakePlatform& f) { f.createCause = kCauseAccessDenied; },
         "/out/x.iso\nイメージファイルを開けませんでした。\nアクセスが禁止されています。", -1, -1},
        {"/src", [](FakePlatform& f) { f.outputFailAfter = 20 * SectorSize; },  // the five lines of a full disk
         "/out/x.iso\nイメージファイルへの書き込みに失敗しました。\nディスクが満杯です。", 20, 20},
        {"/src", [](FakePlatform& f) { f.Find("/src/b.txt")->openCause = kCauseFileNotFound; },
         "/src/b.txt\nファイルを開けませんでした。\nファイルが見つかりません。", 28, 28},
        {"/src", [](FakePlatform& f) { f.Find("/src/b.txt")->readFailAfter = 3000; },
         "/src/b.txt\nファイルの読み取りに失敗しました。\nハードウェアのエラーです。", 28, 29},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.report);
        FakePlatform f;
        for (const auto& [path, content] : kFiles) f.AddFile("/src/" + path, content);
        c.arrange(f);
        RecordingSink s;
        BuildRunner r(f, &s);
        BuildReport report = r.Run(Request(c.source, FileSystemType::Joliet));
        EXPECT_EQ(report.outcome, Outcome::Failed);
        EXPECT_EQ(FailureReport(report), std::string(c.report) + "\n\nイメージファイルの作成に失敗しました。");
        ASSERT_EQ(f.outputs.count("/out/x.iso"), size_t(c.maxSectors >= 0));
        const size_t bytes = c.maxSectors < 0 ? 0 : f.outputs["/out/x.iso"].size();
        // Whole sectors, and progress never counts more than reached the file.
        EXPECT_EQ(std::tuple(bytes % SectorSize, s.bytes), std::tuple(0u, bytes));
        EXPECT_TRUE(int(bytes / SectorSize) >= std::max(c.minSectors, 0) && int(bytes / SectorSize) <= std::max(c.maxSectors, 0)) << bytes;
    }
}

// A whole build reports every sector; a stopped one keeps exactly the
// sectors written before the stop was noticed, and a stop is no failure.
TEST_F(RunnerTest, StopAfterAnySector) {
    // Every sector goes out through one gate that a stop closes: a stop in
    // the system area, in the file data (readers busy ahead), amid the UDF
    // structures and at the very last sector.
    const struct {
        FileSystemType kind;
        int64_t n;  // sectors before the stop; negative counts from the end
    } cases[] = {{FileSystemType::Joliet, 1}, {FileSystemType::Joliet, 27}, {FileSystemType::UdfBridge, 257},
                 {FileSystemType::UdfBridge, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        sink = RecordingSink();
        BuildReport whole = Run(c.kind);  // the whole image gives the length
        ASSERT_EQ(whole.outcome, Outcome::Finished) << whole.failures.JoinedText();
        // The calls: each sector, and the bytes the last flush put out.
        EXPECT_EQ(std::tuple(whole.failures.HasMessages(), whole.imageBytes, Output().size(), sink.bytes, sink.calls),
                  std::tuple(false, sink.announced, sink.announced, sink.announced, sink.announced / SectorSize + 1));
        const int64_t total = int64_t(sink.announced / SectorSize);
        const uint64_t n = uint64_t(c.n > 0 ? c.n : total + c.n);
        sink = RecordingSink();
        sink.stopAfter = n;
        BuildReport stopped = Run(c.kind);
        EXPECT_EQ(std::tuple(stopped.outcome, stopped.failures.HasMessages(), Output().size()),
                  std::tuple(Outcome::Stopped, false, n * SectorSize));
        EXPECT_LT(Output().size(), sink.announced);
    }
    // The next build runs to the end.
    sink = RecordingSink();
    EXPECT_EQ(Run(FileSystemType::Udf).outcome, Outcome::Finished);
    EXPECT_EQ(Output().size(), sink.announced);
    EXPECT_EQ(sink.started, 1);
}

// File data moved by the system, as copy_file_range does, past the piece
// read ahead: a file that shrank before it was moved ends in zeros to its
// sector's end and is reported. (The moved bytes against the copied: the
// command line's build into a file and into a pipe.)
TEST_F(RunnerTest, MovedFileData) {
    std::string big(300001, 'x');
    for (size_t i = 0; i < big.size(); i += 999) big[i] = char(i);
    FakeNode& node = fake.AddFile("/src/big.bin", big);
    fake.moveFiles = true;
    sink.beforeWriting = [&] { node.size = node.content.size() - 70000; };
    BuildReport shrunk = Run(FileSystemType::UdfBridge);
    EXPECT_EQ(FailureReport(shrunk), "/src/big.bin\nファイルが読み取り中に変更されました。\n\nイメージファイルの作成に失敗しました。");
    test::ExpectImageHolds(Output(), FileSystemType::UdfBridge,
                           {{"a.txt", "alpha"}, {"b.txt", std::string(5000, 'b')}, {"big.bin", big.substr(0, 230001) + std::string(70000, '\0')},
                            {"写真/empty", ""}, {"写真/説明.txt", "説明"}});
    // A large boot image still gets its boot information table (at byte 8:
    // the primary descriptor's sector, 16), though the system moves the rest.
    sink.beforeWriting = nullptr;
    node.size = node.content.size();
    BuildRequest boot = Request("/src", FileSystemType::Joliet);
    boot.boot = {{.image = "/src/big.bin", .infoTable = true}};
    BuildReport r = runner.Run(boot);
    ASSERT_EQ(r.outcome, Outcome::Finished) << r.failures.JoinedText();
    const size_t at = Output().find(big.substr(64, 4000));
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(Output().substr(at - 56, 4), std::string("\x10\0\0\0", 4));
}

// The window's two kinds of work at once: previews of every kind while a
// build writes. Under ThreadSanitizer (scripts/test.sh) a record that both
// touch is a reported race.
TEST_F(RunnerTest, PreviewsWhileABuildRuns) {
    std::atomic<uint64_t> last{0};
    SizePreview preview(fake, [&](uint64_t number, uint64_t sectors, uint64_t) { last = sectors ? number : 0; });
    BuildReport report;
    std::thread worker([&] { report = runner.Run(Request("/src", FileSystemType::UdfBridge)); });
    uint64_t number = 0;
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::UdfBridge, FileSystemType::Udf})
        number = preview.Start(Request("/src", kind, ""));
    worker.join();
    for (int i = 0; last != number && i < 60000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(last.load(), number);  // the newest preview measured
    EXPECT_EQ(report.outcome, Outcome::Finished) << report.failures.JoinedText();
}

}  // namespace
}  // namespace pm
