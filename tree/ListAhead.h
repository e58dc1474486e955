// Lists the folders a scan is about to enter on a few threads, in the order
// it will enter them. A folder's first build finds its inodes on disk, and
// the disk answers many requests at once far faster than one after another;
// the scan itself still takes each listing in its own order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/Platform.h"

namespace pm {

class ListAhead {
public:
    // Listings done or under way at most; each holds one folder's entries.
    static constexpr size_t kAhead = 64;

    // `cancel` (may be null): when it turns true, no further folder is
    // listed ahead (a superseded preview's scan stops where it is).
    // `keepLinks`: as Platform::ListFolder takes it.
    ListAhead(Platform& platform, unsigned threads, const std::atomic<bool>* cancel, bool keepLinks = false);
    // Ends the threads (after the listings under way) and joins them.
    ~ListAhead();
    ListAhead(const ListAhead&) = delete;
    ListAhead& operator=(const ListAhead&) = delete;

    // Folders the scan will enter next, in that order, before those queued earlier.
    void Queue(std::vector<std::string> paths);
    // The listing of `path`, as Platform::ListFolder gives it: a thread's
    // when one has it or is at it, otherwise made here.
    bool List(const std::string& path, std::vector<DirEntry>& out, FileError& err);
    // The scan will not enter `path` after all.
    void Drop(const std::string& path);

private:
    struct Listing {
        bool ok = false;
        std::vector<DirEntry> entries;
        FileError err;
    };
    void Worker();

    Platform& m_platform;
    const std::atomic<bool>* const m_cancel;
    const bool m_keepLinks;
    std::mutex m_mutex;
    std::condition_variable m_work;  // a folder was queued, a listing taken, or the end
    std::condition_variable m_done;  // a listing is ready
    std::deque<std::string> m_queue;             // in the order the scan needs them
    std::unordered_set<std::string> m_queued;    // still wanted from m_queue
    std::unordered_set<std::string> m_busy;      // being listed
    std::unordered_set<std::string> m_unwanted;  // dropped while being listed
    std::unordered_map<std::string, Listing> m_ready;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};

}  // namespace pm
