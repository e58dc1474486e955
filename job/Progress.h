// The progress arithmetic of a build, shared by the dialog and the command
// line: a whole percentage and a bar position that only move forward.
#pragma once

#include <cstdint>
#include <string>

namespace pm {

// What a build reports while it runs; the front ends implement it.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void OnBuildStarted() = 0;
    virtual void OnImageSize(uint64_t totalBytes) = 0;
    // After every sector written; true asks the build to stop.
    virtual bool OnBytesWritten(uint32_t bytes) = 0;
};

struct ProgressCounter {
    uint64_t bytesDone = 0;
    uint64_t bytesTotal = 0;
    int percentShown = 0;
    int barWidth = 0;
    int barPos = 0;

    void Start(uint64_t total, int width);
    // Adds n bytes; tells whether the percentage or the bar position grew.
    void Add(uint32_t n, bool& percentGrew, bool& barGrew);
    // "%d%%" of the shown percentage; empty before the first whole percent.
    std::string PercentText() const;
};

// "1,234,567 / 9,876,543 byte"
std::string ByteCounterText(uint64_t done, uint64_t total);

}  // namespace pm
