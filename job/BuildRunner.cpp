#include "job/BuildRunner.h"

#include "job/BuildInputs.h"
#include "layout/NameMap.h"
#include "messages/Strings.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "messages/JobMessages.h"
#include "platform/Platform.h"
#include "settings/VolumeInfo.h"
#include "writer/ReadAhead.h"

namespace pm {

BuildRunner::BuildRunner(Platform& platform, ProgressSink* sink) : m_platform(platform), m_pSink(sink) {}

BuildRunner::~BuildRunner() {
    if (m_imageFile) {
        FileError ignored;
        m_imageFile->Close(ignored);
    }
}

namespace {

// SOURCE_DATE_EPOCH as seconds: digits only, within 32 bits.
bool ParseEpoch(const char* text, uint32_t& seconds) {
    if (!text || !*text) return false;
    uint64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + uint64_t(*p - '0');
        if (v > 0xFFFFFFFFull) return false;
    }
    seconds = uint32_t(v);
    return true;
}

}  // namespace

uint32_t BuildRunner::SeedSeconds() {
    uint32_t seconds = 0;
    if (ParseEpoch(std::getenv("SOURCE_DATE_EPOCH"), seconds)) return seconds;
    return uint32_t(std::time(nullptr));
}

bool BuildRunner::EpochIgnored() {
    uint32_t seconds = 0;
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    return epoch && *epoch && !ParseEpoch(epoch, seconds);  // empty counts as unset
}

unsigned BuildRunner::Readers() {
    if (const char* text = std::getenv("PARUMERO_READERS")) {
        char* end = nullptr;
        unsigned long v = std::strtoul(text, &end, 10);
        if (end != text && *end == '\0' && v >= 1) return unsigned(std::min<unsigned long>(v, ReadAhead::kMaxReaders));
    }
    return kDefaultReaders;
}

int BuildRunner::SectorCallbackFn(int kind, void* context, const uint8_t* data, uint32_t length) {
    if (!context) return 1;
    return static_cast<BuildRunner*>(context)->OnSector(kind, data, length);
}

int BuildRunner::OnSector(int kind, const uint8_t* data, uint32_t length) {
    if (kind != 1) return 1;
    FileError err;
    if (!m_imageFile->Write(data, length, err)) {
        err.path = m_imagePath;
        TheJobMessages().AddFileError(kMsgImageWriteFailed, err);
        m_bWriteFailed = true;
        return 0;
    }
    if (m_pSink && m_pSink->OnBytesWritten(ReachedSinceLastReport())) {
        m_bStopped = 1;
        return 0;
    }
    return 1;
}

uint32_t BuildRunner::ReachedSinceLastReport() {
    const uint64_t reached = m_imageFile->Written();
    const uint32_t delta = uint32_t(reached - m_nReported);
    m_nReported = reached;
    return delta;
}

bool BuildRunner::StoppedBeforeWriting() {
    if (!m_pCancel || !m_pCancel->load()) return false;
    m_bStopped = 1;
    return true;
}

bool BuildRunner::Run(const std::string& sourceFolder, const std::string& imagePath, FileSystemType kind) {
    m_bStopped = 0;
    m_bWriteFailed = false;
    m_nReported = 0;
    m_imagePath = imagePath;
    ImageBuilder builder(m_platform, TheJobMessages());
    builder.m_dwSeedSeconds = SeedSeconds();
    builder.m_nReaders = Readers();
    if (m_pSink) m_pSink->OnBuildStarted();
    builder.SetSectorCallback(&BuildRunner::SectorCallbackFn, this);

    // An older image inside the source folder is never read into the new one:
    // it is about to be truncated and rewritten (or, behind standard output,
    // is being written right now).
    PrepareBuildScan(builder, m_platform, TheVolumeInfo(), m_bStandardOutput ? std::string() : imagePath);
    DirEntry existing;
    if (m_bStandardOutput && m_platform.StandardOutputEntry(existing) && !existing.directory)
        builder.SkipIdentity(existing.device, existing.inode);

    m_skipped.clear();
    m_nCaseTwins = 0;
    builder.SetCancelFlag(m_pCancel);
    if (!builder.Layout(sourceFolder, kind)) return StoppedBeforeWriting();
    m_skipped = builder.GetScanReport().skipped;
    m_nCaseTwins = CaseTwins(builder).size();
    if (builder.CheckNames() > 0) return false;  // nothing written; an existing image is untouched
    // A stop during the scan ends the build before the image is truncated.
    if (StoppedBeforeWriting()) return true;
    if (m_pSink) m_pSink->OnImageSize(builder.GetImageBytes());

    FileError err;
    m_imageFile = m_bStandardOutput ? m_platform.OpenStandardOutput(imagePath, err)
                                    : m_platform.CreateOutput(imagePath, err);
    if (!m_imageFile) {
        err.path = imagePath;
        TheJobMessages().AddFileError(kMsgCannotOpenImage, err);
        return false;
    }
    bool result = builder.WriteImage();
    // Every sector handed over reaches the file, whatever ended the build.
    const bool flushed = m_imageFile->Flush(err);
    if (m_pSink) m_pSink->OnBytesWritten(ReachedSinceLastReport());
    if (!flushed) {
        err.path = imagePath;
        if (!m_bWriteFailed) TheJobMessages().AddFileError(kMsgImageWriteFailed, err);
        m_bWriteFailed = true;
        result = false;
    } else if (m_bStopped && !TheJobMessages().HasMessages()) {
        result = true;  // a stop by the user is not a failure
    }
    // Bytes that could not be written were reported once already.
    if (!m_imageFile->Close(err) && !m_bWriteFailed) {
        err.path = imagePath;
        TheJobMessages().AddFileError(kMsgCannotCloseImage, err);
        result = false;
    }
    m_imageFile.reset();
    return result;
}

}  // namespace pm
