// Runs one build: layout, name check, the image file, every sector written,
// and the outcome rules. A build takes one request in and hands one report
// back; it touches nothing else the process holds.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "job/Progress.h"
#include "layout/BuildRequest.h"
#include "messages/JobMessages.h"
#include "tree/FileEntry.h"

namespace pm {

class InputFile;
class OutputFile;
class Platform;

// What one build hands back. The failures are text numbers with their
// arguments: the front end turns them into sentences in its language.
struct BuildReport {
    enum class Outcome { Finished, Stopped, Failed };
    Outcome outcome = Outcome::Failed;
    uint64_t imageBytes = 0;  // the length announced once the layout stood; 0 before
    ScanReport scan;          // what the scan could not read and what it left out
    size_t caseTwins = 0;     // pairs of names that differ only in letter case
    JobMessages failures;
};

// After a build, for the user: how many entries of each outcome that is not
// a plain copy (left out, kept as empty folders, not in the Joliet tree,
// case twins), one line each; none when every file went in as itself.
std::vector<std::string> OutcomeLines(const BuildReport& report, FileSystemType kind);
// Which readers open one of a pair of case twins, and which open both.
std::string CaseTwinReaders(FileSystemType kind);

class BuildRunner {
public:
    BuildRunner(Platform& platform, ProgressSink* sink);
    virtual ~BuildRunner();

    // One whole build. A stop by the user is no failure: the outcome says
    // Stopped and the failures are empty.
    BuildReport Run(const BuildRequest& request);
    // The user's stop request as the scan sees it (may be null): set, it ends
    // the scan where it is, and a stop noticed before the image file is
    // opened leaves an existing image as it was.
    void SetCancelFlag(const std::atomic<bool>* flag) { m_pCancel = flag; }
    int OnSector(int kind, const uint8_t* data, uint32_t length);

private:
    static int SectorCallbackFn(int kind, void* context, const uint8_t* data, uint32_t length);
    static long long MoveCallbackFn(void* context, InputFile& in, size_t length, bool& go);
    // True (and the build stopped) when the user's stop came before the
    // image file was touched.
    bool StoppedBeforeWriting();
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
    const std::atomic<bool>* m_pCancel = nullptr;
};

}  // namespace pm
