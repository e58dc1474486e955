// The window's two threads of work at once: a size preview measuring while a
// build writes, as when the user changes the kind during a build. Run under
// ThreadSanitizer by scripts/test.sh, where a record that both touch is a
// reported race.
#include "job/SizePreview.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "TempDir.h"
#include "job/BuildInputs.h"
#include "job/BuildRunner.h"
#include "platform/Platform.h"

namespace pm {
namespace {

TEST(SizePreview, MeasuresWhileABuildRuns) {
    TempDir dir;
    for (int i = 0; i < 200; ++i) dir.Write("src/d" + std::to_string(i % 10) + "/f" + std::to_string(i), std::string(i * 50, 'x'));
    auto platform = MakePosixPlatform();
    BuildRequest request;
    request.sourceFolder = dir / "src";
    request.imagePath = dir / "out.iso";
    ApplyBuildInputs(request.volume, "BUILD", VolumeDate{2024, 1, 0, 2}, VolumeDate{});
    ApplySystemInputs(request, *platform);

    std::atomic<uint64_t> measured{0}, last{0};
    SizePreview preview(*platform, [&](uint64_t number, uint64_t sectors, uint64_t) {
        last = number;
        measured = sectors;
    });
    BuildReport report;
    std::thread worker([&] {
        BuildRunner runner(*platform, nullptr);
        report = runner.Run(request);
    });
    uint64_t number = 0;
    for (FileSystemType kind : {FileSystemType::Joliet, FileSystemType::UdfBridge, FileSystemType::Udf}) {
        BuildRequest measure = request;
        measure.kind = kind;
        ApplyBuildInputs(measure.volume, "PREVIEW", VolumeDate{2025, 3, 0, 4}, VolumeDate{});
        number = preview.Start(std::move(measure));
    }
    worker.join();
    // Bounded, so that a lost result fails instead of hanging.
    for (int i = 0; last != number && i < 60000; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(last.load(), number);
    EXPECT_EQ(report.outcome, BuildReport::Outcome::Finished) << report.failures.JoinedText();
    EXPECT_GT(measured.load(), 0u);
}

}  // namespace
}  // namespace pm
