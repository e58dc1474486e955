#include "job/SizePreview.h"

#include "layout/ImageBuilder.h"
#include "messages/JobMessages.h"
#include "platform/Platform.h"

namespace pm {

SizePreview::SizePreview(Platform& platform, Done done) : m_platform(platform), m_done(std::move(done)) {
    m_thread = std::thread([this] { Serve(); });
}

SizePreview::~SizePreview() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
        m_pending.reset();
        m_bCancel = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

uint64_t SizePreview::Start(BuildRequest request) {
    uint64_t number;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        number = ++m_nLastNumber;
        m_pending = std::make_unique<Job>(Job{number, std::move(request)});
        m_bCancel = true;
    }
    m_wake.notify_all();
    return number;
}

void SizePreview::Cancel() {
    std::unique_ptr<Job> dropped;  // freed outside the lock
    std::lock_guard<std::mutex> lock(m_mutex);
    dropped = std::move(m_pending);
    m_bCancel = true;
}

void SizePreview::Serve() {
    for (;;) {
        std::unique_ptr<Job> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bQuit || m_pending; });
            if (m_bQuit) return;
            job = std::move(m_pending);
            m_bCancel = false;
        }
        Measure(*job);
        // The tree of a large folder takes a while to free: here, not on the
        // window's thread.
    }
}

void SizePreview::Measure(Job& job) {
    JobMessages discarded;  // a failure shows as the failure status, not in a build's report
    ImageBuilder builder(m_platform, std::move(job.request), discarded);
    builder.SetCancelFlag(&m_bCancel);
    const bool ok = builder.Layout();
    if (m_bCancel) return;
    m_done(job.number, ok ? builder.m_nTotalSectors : 0, ok ? builder.GetImageBytes() : 0);
}

}  // namespace pm
