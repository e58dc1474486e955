// Runs one build: layout, name check, the image file, every sector written,
// and the outcome rules. A build takes one request in and hands one report
// back; it touches nothing else the process holds.
#pragma once

#include <memory>
#include <string>

#include "job/Progress.h"
#include "layout/BuildRequest.h"
#include "messages/JobMessages.h"
#include "tree/FileEntry.h"

namespace pm {

class OutputFile;
class Platform;

// What one build hands back. The failures are text numbers with their
// arguments: the front end turns them into sentences in its language.
struct BuildReport {
    enum class Outcome { Finished, Stopped, Failed };
    Outcome outcome = Outcome::Failed;
    uint64_t imageBytes = 0;  // the length announced once the layout stood; 0 before
    ScanReport scan;          // what the scan could not read and what it left out
    JobMessages failures;
};

class BuildRunner {
public:
    BuildRunner(Platform& platform, ProgressSink* sink);
    virtual ~BuildRunner();

    // One whole build. A stop by the user is no failure: the outcome says
    // Stopped and the failures are empty.
    BuildReport Run(const BuildRequest& request);
    int OnSector(int kind, const uint8_t* data, uint32_t length);

private:
    static int SectorCallbackFn(int kind, void* context, const uint8_t* data, uint32_t length);
    // Bytes that reached the image file since the last report to the sink.
    uint32_t ReachedSinceLastReport();
    // Writes the image of a laid-out, checked builder; false when it failed.
    bool WriteTo(class ImageBuilder& builder, const BuildRequest& request);

    Platform& m_platform;
    ProgressSink* m_pSink;
    std::unique_ptr<OutputFile> m_imageFile;
    std::string m_imagePath;
    JobMessages* m_pFailures = nullptr;  // the report of the build in progress
    int m_bStopped = 0;
    bool m_bWriteFailed = false;
    uint64_t m_nReported = 0;
};

}  // namespace pm
