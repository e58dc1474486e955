#include "job/BuildRunner.h"

#include "layout/ImageBuilder.h"
#include "layout/NameMap.h"
#include "messages/Strings.h"
#include "platform/Platform.h"

namespace pm {

BuildRunner::BuildRunner(Platform& platform, ProgressSink* sink) : m_platform(platform), m_pSink(sink) {}

BuildRunner::~BuildRunner() {
    if (m_imageFile) {
        FileError ignored;
        m_imageFile->Close(ignored);
    }
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
        m_pFailures->AddFileError(kMsgImageWriteFailed, err);
        m_bWriteFailed = true;
        return 0;
    }
    if (m_pSink && m_pSink->OnBytesWritten(ReachedSinceLastReport())) {
        m_bStopped = 1;
        return 0;
    }
    return 1;
}

long long BuildRunner::MoveCallbackFn(void* context, InputFile& in, size_t length, bool& go) {
    auto& self = *static_cast<BuildRunner*>(context);
    FileError err;
    const long long moved = self.m_imageFile->MoveFrom(in, length, err);
    // A file that ended mid-sector leaves the rest of its last sector zero,
    // as the copy through memory does.
    static const uint8_t zeros[SectorSize] = {};
    const size_t tail = moved > 0 ? size_t(moved) % SectorSize : 0;
    if (moved == -1 || (tail && !self.m_imageFile->Write(zeros, SectorSize - tail, err))) {
        err.path = self.m_imagePath;
        self.m_pFailures->AddFileError(kMsgImageWriteFailed, err);
        self.m_bWriteFailed = true;
        return -1;
    }
    if (moved > 0 && self.m_pSink && self.m_pSink->OnBytesWritten(self.ReachedSinceLastReport())) {
        self.m_bStopped = 1;
        go = false;
    }
    return moved;
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

BuildReport BuildRunner::Run(const BuildRequest& request) {
    BuildReport report;
    m_pFailures = &report.failures;
    m_bStopped = 0;
    m_bWriteFailed = false;
    m_nReported = 0;
    m_imagePath = request.imagePath;
    ImageBuilder builder(m_platform, request, report.failures);
    if (m_pSink) m_pSink->OnBuildStarted();
    builder.SetSectorCallback(&BuildRunner::SectorCallbackFn, this);
    builder.SetMoveCallback(&BuildRunner::MoveCallbackFn);

    builder.SetCancelFlag(m_pCancel);
    const bool laidOut = builder.Layout();
    report.scan = builder.GetScanReport();
    if (laidOut) report.caseTwins = CaseTwins(builder).size();
    // Nothing is written when the layout or a name fails, or when a stop came
    // during the scan: an existing image is untouched. A cancelled scan is a
    // stop, not a failure.
    if (!laidOut) {
        if (!report.failures.HasMessages() && StoppedBeforeWriting()) report.outcome = BuildReport::Outcome::Stopped;
    } else if (builder.CheckNames() + builder.CheckBoot() > 0) {  // every fault in the one report
    } else if (StoppedBeforeWriting()) {
        report.outcome = BuildReport::Outcome::Stopped;
    } else {
        report.imageBytes = builder.GetImageBytes();
        if (m_pSink) m_pSink->OnImageSize(report.imageBytes);
        if (WriteTo(builder, request))
            report.outcome = m_bStopped ? BuildReport::Outcome::Stopped : BuildReport::Outcome::Finished;
    }
    m_pFailures = nullptr;
    return report;
}

bool BuildRunner::WriteTo(ImageBuilder& builder, const BuildRequest& request) {
    const std::string& imagePath = request.imagePath;
    FileError err;
    m_imageFile = request.standardOutput ? m_platform.OpenStandardOutput(imagePath, err)
                                         : m_platform.CreateOutput(imagePath, err);
    if (!m_imageFile) {
        err.path = imagePath;
        m_pFailures->AddFileError(kMsgCannotOpenImage, err);
        return false;
    }
    bool result = builder.WriteImage();
    // Every sector handed over reaches the file, whatever ended the build.
    const bool flushed = m_imageFile->Flush(err);
    if (m_pSink) m_pSink->OnBytesWritten(ReachedSinceLastReport());
    if (!flushed) {
        err.path = imagePath;
        if (!m_bWriteFailed) m_pFailures->AddFileError(kMsgImageWriteFailed, err);
        m_bWriteFailed = true;
        result = false;
    } else if (m_bStopped && !m_pFailures->HasMessages()) {
        result = true;  // a stop by the user is not a failure
    }
    // Bytes that could not be written were reported once already.
    if (!m_imageFile->Close(err) && !m_bWriteFailed) {
        err.path = imagePath;
        m_pFailures->AddFileError(kMsgCannotCloseImage, err);
        result = false;
    }
    m_imageFile.reset();
    return result;
}

std::string CaseTwinReaders(FileSystemType kind) {
    const bool joliet = kind == FileSystemType::Joliet, udf = kind == FileSystemType::Udf;
    return FormatString(kMsgCaseTwinReaders, LoadString(joliet ? kTextTwinBlindJoliet : udf ? kTextTwinBlindUdf : kTextTwinBlindBridge),
                        LoadString(joliet ? kTextTwinSeeingJoliet : udf ? kTextTwinSeeingUdf : kTextTwinSeeingBridge));
}

std::vector<std::string> OutcomeLines(const BuildReport& report, FileSystemType kind) {
    size_t dangling = 0, special = 0, links = 0, notInJoliet = 0;
    for (const SkippedEntry& s : report.scan.skipped)
        ++(s.why == SkippedEntry::DanglingLink ? dangling
           : s.why == SkippedEntry::Special    ? special
           : s.why == SkippedEntry::NotInJoliet ? notInJoliet
                                                : links);
    std::vector<std::string> lines;
    std::string kinds;
    auto add = [&](size_t n, int id) {
        if (n) kinds += (kinds.empty() ? "" : LoadString(kTextListSeparator)) + FormatString(id, std::to_string(n));
    };
    add(dangling, kTextDanglingLinks);
    add(special, kTextSpecialFiles);
    if (!kinds.empty()) lines.push_back(FormatString(kMsgSkippedCount, std::to_string(dangling + special), kinds));
    if (links) lines.push_back(FormatString(kMsgLinksKeptAsFolders, std::to_string(links)));
    if (notInJoliet) lines.push_back(FormatString(kMsgLinksNotInJoliet, std::to_string(notInJoliet)));
    if (report.caseTwins)
        lines.push_back(FormatString(kMsgCaseTwinCount, std::to_string(report.caseTwins)) + ' ' + CaseTwinReaders(kind));
    return lines;
}

}  // namespace pm
