#include "writer/ReadAhead.h"

#include <algorithm>
#include <system_error>

#include "disc/OnDisc.h"
#include "tree/FileEntry.h"

namespace pm {

bool ReadPiece(InputFile& in, uint8_t* data, uint32_t want, uint32_t& got, bool& atEnd, FileError& err) {
    got = 0;
    while (got < want && !atEnd) {
        long long n = in.Read(data + got, want - got, err);
        if (n < 0) return false;
        if (n == 0) atEnd = true;
        got += uint32_t(n);
    }
    return true;
}

ReadAhead::ReadAhead(Platform& platform, const std::vector<CFileEntry*>& files, unsigned readers)
    : m_platform(platform), m_files(files), m_ring(kWindow) {
    readers = std::clamp(readers, 1u, kMaxReaders);
    try {
        for (unsigned i = 0; i < readers; ++i) m_threads.emplace_back(&ReadAhead::Reader, this);
    } catch (const std::system_error&) {
        // Fewer threads than asked for still read ahead; with none at all,
        // Take reads each file itself.
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    for (std::thread& t : m_threads) t.join();
}

uint32_t ReadAhead::Want(size_t i) const {
    return uint32_t(SectorsFor(std::min<uint64_t>(m_files[i]->m_nIsoSize, kPiece)) * SectorSize);
}

Prefetched ReadAhead::Fetch(size_t i, uint32_t bytes) {
    const CFileEntry& f = *m_files[i];
    Prefetched p;
    p.asked = uint32_t(std::min<uint64_t>(f.m_nIsoSize, kPiece));
    p.in = m_platform.OpenRead(f.Path(), p.err);
    if (!p.in || m_stop) return p;
    p.data.resize(bytes);
    p.readFailed = !ReadPiece(*p.in, p.data.data(), p.asked, p.got, p.atEnd, p.err);
    return p;
}

void ReadAhead::Reader() {
    for (;;) {
        size_t i = 0;
        uint32_t bytes = 0;
        {
            // Files are claimed in order and their buffers counted as they
            // are claimed, so the file the writer waits for never waits for
            // room held by files after it.
            std::unique_lock<std::mutex> lock(m_mutex);
            m_room.wait(lock, [&] { return m_stop || m_next == m_files.size() || RoomForNext(); });
            if (m_stop || m_next == m_files.size()) return;
            i = m_next++;
            bytes = Want(i);
            m_inUse += bytes;
            // Readers are woken one at a time (a wake-up per file for every
            // reader costs more than a small file's read when the tree is in
            // memory); one that finds room after its claim passes it on.
            if (RoomForNext()) m_room.notify_one();
        }
        Prefetched p = Fetch(i, bytes);
        bool awaited = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            Slot& s = m_ring[i % kWindow];
            s.p = std::move(p);
            s.bytes = bytes;
            s.ready = true;
            awaited = i == m_taken;
        }
        if (awaited) m_ready.notify_one();  // only the writer waits, and only for file m_taken
    }
}

bool ReadAhead::RoomForNext() const {
    return m_next < m_files.size() && m_next < m_taken + kWindow && m_inUse + Want(m_next) <= kBudget;
}

Prefetched ReadAhead::Take() {
    if (m_threads.empty()) {
        const size_t i = m_taken++;
        return Fetch(i, Want(i));
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    Slot& s = m_ring[m_taken % kWindow];
    m_ready.wait(lock, [&] { return s.ready; });
    Prefetched p = std::move(s.p);
    s.ready = false;
    m_inUse -= s.bytes;
    ++m_taken;
    const bool room = RoomForNext();
    lock.unlock();
    if (room) m_room.notify_one();
    return p;
}

}  // namespace pm
