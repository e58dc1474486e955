// Runs one build: layout, name check, the image file, every sector written,
// and the outcome rules.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "job/Progress.h"
#include "layout/ImageBuilder.h"

namespace pm {

class OutputFile;
class Platform;

class BuildRunner {
public:
    BuildRunner(Platform& platform, ProgressSink* sink);
    virtual ~BuildRunner();

    // One whole build. False when it failed (the texts are queued in
    // JobMessages); true when it completed or the user stopped it.
    bool Run(const std::string& sourceFolder, const std::string& imagePath, FileSystemType kind);
    // Sends the image to standard output (a pipe, or a file the shell opened)
    // instead of creating the file; the image path then only names it in
    // reports.
    void UseStandardOutput() { m_bStandardOutput = true; }
    // The user's stop request as the scan sees it (may be null): set, it ends
    // the scan where it is, and a stop noticed before the image file is
    // opened leaves an existing image as it was.
    void SetCancelFlag(const std::atomic<bool>* flag) { m_pCancel = flag; }
    int OnSector(int kind, const uint8_t* data, uint32_t length);
    bool Stopped() const { return m_bStopped != 0; }
    // Entries the scan of the last build left out (dangling links, special
    // files) or did not enter (links back to an ancestor, kept as empty folders).
    size_t SkippedCount() const { return m_skipped.size(); }
    const std::vector<SkippedEntry>& Skipped() const { return m_skipped; }
    // Pairs of names of the last build that differ only in letter case.
    size_t CaseTwinCount() const { return m_nCaseTwins; }

    // Seconds seeding the UDF volume set identifier: SOURCE_DATE_EPOCH when
    // set (reproducible images), otherwise the clock.
    static uint32_t SeedSeconds();
    // SOURCE_DATE_EPOCH is set but no number of seconds (decimal, at most
    // 2^32 - 1 here): builds go on as without it, and the front end says so.
    static bool EpochIgnored();
    // Threads reading source files ahead: PARUMERO_READERS (1 to 64) when
    // set to a number, otherwise the default.
    static unsigned Readers();

private:
    static int SectorCallbackFn(int kind, void* context, const uint8_t* data, uint32_t length);
    // True (and the build stopped) when the user's stop came before the
    // image file was touched.
    bool StoppedBeforeWriting();
    // Bytes that reached the image file since the last report to the sink.
    uint32_t ReachedSinceLastReport();

    Platform& m_platform;
    ProgressSink* m_pSink;
    std::unique_ptr<OutputFile> m_imageFile;
    std::string m_imagePath;
    int m_bStopped = 0;
    bool m_bWriteFailed = false;
    uint64_t m_nReported = 0;
    std::vector<SkippedEntry> m_skipped;
    size_t m_nCaseTwins = 0;
    bool m_bStandardOutput = false;
    const std::atomic<bool>* m_pCancel = nullptr;
};

}  // namespace pm
