#include "job/BuildRunner.h"

#include "layout/ImageBuilder.h"
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

uint32_t BuildRunner::ReachedSinceLastReport() {
    const uint64_t reached = m_imageFile->Written();
    const uint32_t delta = uint32_t(reached - m_nReported);
    m_nReported = reached;
    return delta;
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

    const bool laidOut = builder.Layout();
    report.scan = builder.GetScanReport();
    // Nothing is written when the layout, a name or a boot image fails: an
    // existing image is untouched, and every fault is in the one report.
    if (laidOut && builder.CheckNames() + builder.CheckBoot() == 0) {
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

}  // namespace pm
