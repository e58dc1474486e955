// Rock Ridge: the Linux attributes of an entry in the System Use area of its
// ISO 9660 directory record (the Joliet tree never carries them). Each entry
// has its own encoder; SystemUseOf gathers a record's entries, and
// PlaceSystemUse lays them out: what fits in the record stays there, the
// rest goes on in continuation areas. The directory encoder asks only these
// for a record's length, so the layout and the bytes cannot disagree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tree/FileEntry.h"

namespace pm {

// Longest System Use entry: its length is one byte.
constexpr size_t kMaxSuEntry = 255;
constexpr size_t kCeLength = 28;

// Each writes one entry at `d` (room for kMaxSuEntry bytes) and returns its length.
size_t PutSp(uint8_t* d);
size_t PutCe(uint8_t* d, uint32_t sector, uint32_t offset, uint32_t length);
size_t PutEr(uint8_t* d);
size_t PutPx(uint8_t* d, const PosixInfo& p);
size_t PutTf(uint8_t* d, int64_t mtime, int64_t atime, int64_t ctime);
// One NM entry of at most kMaxSuEntry bytes: `flags` 1 when the name goes on in the next.
size_t PutNm(uint8_t* d, uint8_t flags, const std::string& part);

// The SL entries of a link target, each at most kMaxSuEntry bytes.
std::vector<std::string> SlEntries(const std::string& target);

// The entries of one record, one after another.
struct SystemUse {
    std::string bytes;
    std::vector<uint32_t> ends;  // where each entry ends in `bytes`
    void Add(const uint8_t* d, size_t n);
};

// Which record of a directory extent: the folder's ".", its "..", or a
// child's own record.
enum class SuRecord { Dot, DotDot, Child };
// The entries of the record of `e` (for "." the folder, for ".." its parent):
// PX and TF always, SP first and ER in the root's ".", NM for a child, SL for
// a symbolic link.
SystemUse SystemUseOf(const CFileEntry& e, SuRecord which, bool root);

// Where a folder's continuation areas go: they follow one another from the
// run's first sector, none crossing a sector end. `buf` (may be null: only
// measured) holds the run.
struct ContinuationRun {
    uint32_t sector = 0;
    uint32_t used = 0;  // bytes of the run taken so far
    uint8_t* buf = nullptr;
};

// Lays the entries out: into `record` (may be null) as many as fit in
// `room` bytes, with a CE entry after them when more follow, those in areas
// of `run`, each chained to the next. Returns the bytes the record takes,
// made even; 0 when `room` cannot hold a CE (the record then carries no
// entries; names that long never pass the name checks).
size_t PlaceSystemUse(const SystemUse& su, size_t room, uint8_t* record, ContinuationRun& run);

}  // namespace pm
