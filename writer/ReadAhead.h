// Opens the source files and reads their first piece on a few threads, in
// the order the writer will take them: a disk answers many requests at once
// far faster than one small read after another, and a folder's first build
// usually reads it cold.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Platform.h"

namespace pm {

class CFileEntry;

// Reads `want` bytes into data (fewer when the file ends first: atEnd).
// False on a read error, with the cause in err.
bool ReadPiece(InputFile& in, uint8_t* data, uint32_t want, uint32_t& got, bool& atEnd, FileError& err);

// After the bytes the scan counted: true when the file has more (it grew, or
// its size says less than it holds, as /proc files and some links do).
bool GoesOnPastSize(InputFile& in);

// One file as a reader left it: open (or why not) and its first piece read.
struct Prefetched {
    std::unique_ptr<InputFile> in;  // null when opening failed; err says why
    FileError err;
    bool readFailed = false;        // the first piece could not be read; err says why
    bool atEnd = false;
    // All of the file was in the first piece, and it went on past it.
    bool longer = false;
    uint32_t asked = 0;             // bytes the first piece was to hold: got, unless the file ended
    uint32_t got = 0;
    uint8_t* data = nullptr;        // the first piece, room up to whole sectors; valid until the next Take
    bool read = true;               // false: only opened (a large file, left to the writer whole)
};

class ReadAhead {
public:
    // At most this much file data waits in buffers, and at most kWindow files
    // are open ahead, whatever the tree. Only a file's first kPiece bytes are
    // read ahead: that is all of most small files, and a large file's first
    // read starts the kernel reading it ahead sequentially. Reading more on
    // the readers only moves the copying there, and with it a cache's worth
    // of memory traffic per file, which costs a warm build on few cores.
    static constexpr uint32_t kPiece = 128u << 10;
    static constexpr uint64_t kBudget = uint64_t(4) << 20;
    static constexpr size_t kWindow = 256;
    static constexpr unsigned kMaxReaders = 64;
    static constexpr size_t kBatch = 16;  // files a reader claims at once, at most kPiece bytes
    // Descriptors left to the rest of the process when the open-file limit
    // sizes the window: the file the writer copies, the image, and whatever
    // else opens one meanwhile (the desktop's services, a library's files).
    static constexpr size_t kSpareFiles = 16;

    // Files open ahead at most when `room` more may be opened: kWindow, or
    // fewer under a low open-file limit (at least one).
    static size_t WindowFor(size_t room);

    // `openOnlyLarge`: files over kPiece are opened and their reading asked
    // of the system, but not read here: the writer has the system move them
    // into the image whole, and a piece read here would cross memory three
    // times (read, gather, write) for nothing.
    ReadAhead(Platform& platform, const std::vector<CFileEntry*>& files, unsigned readers, bool openOnlyLarge = false);
    // Ends the readers (after the read in progress) and joins them.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Waits for the next file in order and hands it over; the piece it
    // holds is given back by the next call.
    Prefetched Take();

private:
    struct Slot {
        Prefetched p;
        bool ready = false;
    };
    bool OpenOnly(size_t i) const;
    // Bytes of buffer file i needs: its first piece in whole sectors.
    uint32_t Want(size_t i) const;
    // A reader may claim file m_next now (m_mutex held).
    bool RoomForNext() const;
    // Room enough that sleeping readers start again (m_mutex held).
    bool Refill() const;
    // Opens file i and reads its first piece to `at` in m_pieces.
    Prefetched Fetch(size_t i, uint64_t at);
    // Opens file i and reads its first piece to p.data.
    void Fill(size_t i, Prefetched& p);
    void Reader();

    Platform& m_platform;
    const std::vector<CFileEntry*>& m_files;
    const bool m_openOnlyLarge;
    std::mutex m_mutex;
    std::condition_variable m_ready;  // a slot was filled
    std::condition_variable m_room;   // the writer took a slot, or the end
    // Files open ahead at most: kWindow, fewer under a low open-file limit.
    const size_t m_window;
    std::vector<Slot> m_ring;         // file i waits in m_ring[i % m_window]
    // The pieces, one after another as files are claimed, around a ring of
    // kBudget bytes: they are taken in the order they were claimed, so a
    // piece is never written over while it waits. The extra kPiece bytes let
    // the piece that crosses the end stay whole. Made once, not per file:
    // fresh memory for every piece cost page faults and, with several
    // threads, the flushes of every core's mappings when it was given back.
    std::unique_ptr<uint8_t[]> m_pieces;
    uint64_t m_claimedBytes = 0;      // pieces claimed so far, end to end
    size_t m_next = 0;                // the next file a reader claims
    size_t m_taken = 0;               // the next file the writer takes
    uint64_t m_inUse = 0;             // bytes claimed and not yet taken
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

}  // namespace pm
