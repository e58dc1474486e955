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

bool GoesOnPastSize(InputFile& in) {
    uint8_t extra;
    FileError ignored;  // the counted bytes were read; only more of them matters
    return in.Read(&extra, 1, ignored) > 0;
}

size_t ReadAhead::WindowFor(size_t room) {
    return room > kSpareFiles ? std::min(kWindow, room - kSpareFiles) : 1;
}

ReadAhead::ReadAhead(Platform& platform, const std::vector<CFileEntry*>& files, unsigned readers, bool openOnlyLarge)
    : m_platform(platform), m_files(files), m_openOnlyLarge(openOnlyLarge), m_window(WindowFor(platform.OpenFileRoom())), m_ring(m_window),
      m_pieces(std::make_unique_for_overwrite<uint8_t[]>(kBudget + kPiece)) {
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

bool ReadAhead::OpenOnly(size_t i) const {
    return m_openOnlyLarge && m_files[i]->m_nIsoSize > kPiece;
}

uint32_t ReadAhead::Want(size_t i) const {
    if (OpenOnly(i)) return 0;
    return uint32_t(SectorsFor(std::min<uint64_t>(m_files[i]->m_nIsoSize, kPiece)) * SectorSize);
}

Prefetched ReadAhead::Fetch(size_t i, uint64_t at) {
    Prefetched p;
    p.data = m_pieces.get() + at % kBudget;
    Fill(i, p);
    return p;
}

void ReadAhead::Fill(size_t i, Prefetched& p) {
    const CFileEntry& f = *m_files[i];
    p.asked = uint32_t(std::min<uint64_t>(f.m_nIsoSize, kPiece));
    p.err = FileError();
    p.in = m_platform.OpenRead(f.Path(), p.err);
    if (!p.in || m_stop) return;
    if (OpenOnly(i)) {
        p.read = false;
        p.asked = 0;
        p.in->ReadSoon();
        return;
    }
    p.readFailed = !ReadPiece(*p.in, p.data, p.asked, p.got, p.atEnd, p.err);
    // A whole file is asked here whether it holds more than the scan saw,
    // on the reader's thread rather than the writer's.
    if (!p.readFailed && !p.atEnd && f.m_nIsoSize <= kPiece) p.longer = GoesOnPastSize(*p.in);
}

void ReadAhead::Reader() {
    std::vector<Prefetched> batch;
    for (;;) {
        size_t first = 0, end = 0;
        uint64_t at = 0;
        {
            // Files are claimed in order and their buffers counted as they
            // are claimed, so the file the writer waits for never waits for
            // room held by files after it.
            std::unique_lock<std::mutex> lock(m_mutex);
            // A reader that finds no room sleeps until half the window and
            // half the budget are free again, and readers are woken one at a
            // time: when the tree is in memory, a wake-up per file for every
            // reader costs more than the small files' reads. One that finds
            // room after its claim passes the wake-up on.
            if (!RoomForNext())
                m_room.wait(lock, [&] { return m_stop || m_next == m_files.size() || Refill(); });
            if (m_stop || m_next == m_files.size()) return;
            // Small files are claimed and handed over a few at a time, so
            // that every reader does not take the lock twice per file.
            first = m_next;
            at = m_claimedBytes;
            do {
                m_claimedBytes += Want(m_next);
                m_inUse += Want(m_next);
                ++m_next;
            } while (m_next - first < kBatch && m_claimedBytes - at < kPiece && RoomForNext());
            end = m_next;
            if (RoomForNext()) m_room.notify_one();
        }
        batch.clear();
        for (size_t i = first; i < end; at += Want(i), ++i) batch.push_back(Fetch(i, at));
        bool awaited = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (size_t i = first; i < end; ++i) {
                Slot& s = m_ring[i % m_window];
                s.p = std::move(batch[i - first]);
                s.ready = true;
            }
            awaited = first <= m_taken && m_taken < end;
        }
        if (awaited) m_ready.notify_one();  // only the writer waits, and only for file m_taken
    }
}

bool ReadAhead::RoomForNext() const {
    return m_next < m_files.size() && m_next < m_taken + m_window && m_inUse + Want(m_next) <= kBudget;
}

bool ReadAhead::Refill() const {
    return RoomForNext() && m_next - m_taken <= m_window / 2 && m_inUse <= kBudget / 2;
}

Prefetched ReadAhead::Take() {
    if (m_threads.empty()) {
        const size_t i = m_taken++;
        return Fetch(i, 0);
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_taken > 0) m_inUse -= Want(m_taken - 1);  // the writer is done with that piece
    Slot& s = m_ring[m_taken % m_window];
    m_ready.wait(lock, [&] { return s.ready; });
    Prefetched p = std::move(s.p);
    s.ready = false;
    const size_t i = m_taken++;
    const bool room = Refill();
    lock.unlock();
    if (room) m_room.notify_one();
    // The limit was met by files of ours (something else took descriptors
    // after the window was sized): the previous file is closed by now, so
    // the writer tries once more itself.
    if (!p.in && p.err.cause == kCauseTooManyOpenFiles) Fill(i, p);
    return p;
}

}  // namespace pm
