#include "tree/ListAhead.h"

#include <system_error>

namespace pm {

ListAhead::ListAhead(Platform& platform, unsigned threads, const std::atomic<bool>* cancel, bool keepLinks)
    : m_platform(platform), m_cancel(cancel), m_keepLinks(keepLinks) {
    try {
        for (unsigned i = 0; i < threads; ++i) m_threads.emplace_back(&ListAhead::Worker, this);
    } catch (const std::system_error&) {
        // Fewer threads still list ahead; with none, List lists every folder itself.
    }
}

ListAhead::~ListAhead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& t : m_threads) t.join();
}

void ListAhead::Queue(std::vector<std::string> paths) {
    if (paths.empty() || m_threads.empty()) return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& p : paths) m_queued.insert(p);
        m_queue.insert(m_queue.begin(), std::make_move_iterator(paths.begin()), std::make_move_iterator(paths.end()));
    }
    m_work.notify_all();
}

void ListAhead::Worker() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [&] { return m_stop || (!m_queue.empty() && m_ready.size() + m_busy.size() < kAhead); });
        if (m_stop) return;
        std::string path = std::move(m_queue.front());
        m_queue.pop_front();
        if (!m_queued.erase(path)) continue;  // taken or dropped meanwhile
        if (m_cancel && m_cancel->load(std::memory_order_relaxed)) continue;
        m_busy.insert(path);
        lock.unlock();
        Listing l;
        l.ok = m_platform.ListFolder(path, l.entries, l.err, m_keepLinks);
        lock.lock();
        m_busy.erase(path);
        if (!m_unwanted.erase(path)) m_ready.emplace(std::move(path), std::move(l));
        m_done.notify_all();
    }
}

bool ListAhead::List(const std::string& path, std::vector<DirEntry>& out, FileError& err) {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_done.wait(lock, [&] { return !m_busy.count(path); });
        if (auto it = m_ready.find(path); it != m_ready.end()) {
            const bool ok = it->second.ok;
            out = std::move(it->second.entries);
            err = std::move(it->second.err);
            m_ready.erase(it);
            lock.unlock();
            m_work.notify_one();
            return ok;
        }
        m_queued.erase(path);  // no thread got to it: listed here, not twice
    }
    return m_platform.ListFolder(path, out, err, m_keepLinks);
}

void ListAhead::Drop(const std::string& path) {
    bool freed = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queued.erase(path);
        if (m_busy.count(path)) m_unwanted.insert(path);
        freed = m_ready.erase(path) > 0;
    }
    if (freed) m_work.notify_one();
}

}  // namespace pm
