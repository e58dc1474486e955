// The image size preview, measured on a thread of its own: scanning a folder
// of 100,000 files takes seconds, and the window must keep answering.
//
// One thread serves every request in turn. A new request cancels the run in
// progress (its scan stops at the next entry); only the newest request's
// result is delivered. The thread touches no process-wide record: each
// request is a value of its own and its texts go to a queue of its own, so it
// can run beside a build.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "layout/BuildRequest.h"

namespace pm {

class Platform;

class SizePreview {
public:
    // `done` runs on the preview thread with the request's number, the
    // sector count and the bytes (0 sectors: the layout failed). It is never
    // called for a request that a newer one or Cancel superseded before the
    // layout ended; the caller still compares the number, as a result may
    // be on its way when a newer request is made.
    using Done = std::function<void(uint64_t request, uint64_t sectors, uint64_t bytes)>;

    SizePreview(Platform& platform, Done done);
    // Cancels the run in progress and waits for the thread.
    ~SizePreview();
    SizePreview(const SizePreview&) = delete;
    SizePreview& operator=(const SizePreview&) = delete;

    // Queues a measurement of the build `request` describes (an older image
    // at its image path is left out, as the build will) and returns its
    // number (they only grow).
    uint64_t Start(BuildRequest request);
    // Drops the queued request and cancels the run in progress.
    void Cancel();

private:
    struct Job {
        uint64_t number = 0;
        BuildRequest request;
    };
    void Serve();
    void Measure(Job& job);

    Platform& m_platform;
    Done m_done;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unique_ptr<Job> m_pending;
    uint64_t m_nLastNumber = 0;
    bool m_bQuit = false;
    // Set to end the run in progress; cleared (under the mutex) when a run begins.
    std::atomic<bool> m_bCancel{false};
    std::thread m_thread;
};

}  // namespace pm
