// The narrow seam between the core and the operating system: directory
// listing, files with error causes, folder creation, the program's own path
// and the time zone. The core never calls the OS directly; tests put a fake
// (tests/FakePlatform.h) in place of the POSIX implementation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pm {

// Cause codes of a failed file operation, as the error report names them.
enum FileErrorCause : int {
    kCauseNone = 0,
    kCauseGeneric = 1,
    kCauseFileNotFound = 2,
    kCauseBadPath = 3,
    kCauseTooManyOpenFiles = 4,
    kCauseAccessDenied = 5,
    kCauseInvalidHandle = 6,
    kCauseRemoveCurrentDir = 7,
    kCauseDirectoryFull = 8,
    kCauseBadSeek = 9,
    kCauseHardIo = 10,
    kCauseSharingViolation = 11,
    kCauseLockViolation = 12,
    kCauseDiskFull = 13,
    kCauseEndOfFile = 14,
    kCauseReadOnly = 15,  // a read-only file system
};

// What the file layer reports when opening, reading, writing or closing fails.
struct FileError {
    int cause = kCauseNone;
    std::string path;  // the file concerned, as it was opened (UTF-8 / raw bytes)
};

// errno -> cause code.
int CauseFromErrno(int err);

// Listed entries that cannot enter an image, and why.
enum class Skipped : uint8_t {
    No = 0,
    DanglingLink,  // a symbolic link whose target is missing
    Special,       // a FIFO, socket or device: reading it could hang or never end
};

// One entry as the listing reports it.
struct DirEntry {
    std::string name;       // as listed: raw bytes, normally UTF-8
    std::string shortName;  // 8.3 alternate name (UTF-8), empty when there is none
    uint64_t size = 0;
    int64_t mtime = 0;      // last write, seconds since 1970-01-01 UTC
    bool hidden = false;    // the source file system's own hidden attribute (FAT, NTFS)
    bool directory = false;
    // By its permission bits this user may read the file (or list the
    // folder); what the bits cannot tell is found when the file is opened.
    bool readable = true;
    Skipped skipped = Skipped::No;
    uint64_t device = 0;    // identity, for loop and self-inclusion guards
    uint64_t inode = 0;
    // The Linux attributes an image keeps on request: the st_mode bits
    // (type and permissions), owner, group, links, and the other two times.
    uint32_t mode = 0;
    uint32_t uid = 0, gid = 0;
    uint32_t links = 1;
    int64_t atime = 0, ctime = 0;
    // A symbolic link listed as itself (ListFolder keeping links): its target
    // text as stored, never followed.
    bool symlink = false;
    std::string linkTarget{};
};

class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to n bytes; returns the count (0 at the end). On failure returns
    // -1 and fills err.
    virtual long long Read(void* data, size_t n, FileError& err) = 0;
    // Size and last write of the open file now, to notice a file that
    // changed while it was copied. False when they cannot be had.
    virtual bool Stat(uint64_t& size, int64_t& mtime) = 0;
    // Asks the system to start reading the whole file from the start, for a
    // copy that comes later and does not wait for it now.
    virtual void ReadSoon() {}
};

class OutputFile {
public:
    virtual ~OutputFile() = default;
    // Takes all n bytes or fails with err. The implementation may gather
    // writes; a failure of gathered bytes is reported by a later Write or
    // by Flush.
    virtual bool Write(const void* data, size_t n, FileError& err) = 0;
    // Puts every byte taken so far into the file.
    virtual bool Flush(FileError& err) = 0;
    // Flushes and closes; a second call does nothing and succeeds.
    virtual bool Close(FileError& err) = 0;
    // Bytes that reached the file: taken by a write that returned. Progress
    // counts these, so a failed build never shows more than the file holds.
    virtual uint64_t Written() const = 0;
    // Moves up to n bytes from the input's position to the end of what was
    // taken, without passing them through this process, where the system
    // can. Returns the count moved (0: the input is at its end), -1 on
    // failure (err filled), or kCannotMoveHere: nothing moved, the caller
    // copies the bytes itself from now on.
    static constexpr long long kCannotMoveHere = -2;
    virtual long long MoveFrom(InputFile& in, size_t n, FileError& err) { return kCannotMoveHere; }
};

class Platform {
public:
    virtual ~Platform() = default;

    // Looks the path itself up as one entry (following links). The entry's
    // name is the last path component. False when nothing is there.
    virtual bool LookupEntry(const std::string& path, DirEntry& out) = 0;

    // Lists a folder in the order the file system returns it, without "."
    // and "..", following links. Entries other than regular files and
    // folders come back marked `skipped`. False, with the cause in err, when
    // the folder cannot be listed. Any path length works. With `keepLinks` a
    // symbolic link is listed as itself (`symlink`, its target text), not
    // followed, and not skipped when it leads nowhere.
    virtual bool ListFolder(const std::string& path, std::vector<DirEntry>& out, FileError& err,
                            bool keepLinks = false) = 0;

    // Opens a source file for reading.
    virtual std::unique_ptr<InputFile> OpenRead(const std::string& path, FileError& err) = 0;

    // Creates or truncates a file for writing, locked against other writers.
    virtual std::unique_ptr<OutputFile> CreateOutput(const std::string& path, FileError& err) = 0;

    // The process's standard output as an image file: written in order, never
    // locked, truncated or closed; `name` is how reports call it. Null when
    // there is none.
    virtual std::unique_ptr<OutputFile> OpenStandardOutput(const std::string& name, FileError& err) {
        err = FileError{kCauseInvalidHandle, name};
        return nullptr;
    }
    // What standard output leads to (a shell's "> src/x.iso" is a file the
    // scan must not take in). False when unknown.
    virtual bool StandardOutputEntry(DirEntry& out) { return false; }

    // Creates one folder; false when it fails (also when it exists).
    virtual bool CreateFolder(const std::string& path) = 0;

    // Full path of the running program; empty when unknown.
    virtual std::string ProgramPath() = 0;

    // Standard-time offset in minutes east of UTC (daylight saving not applied).
    virtual int StandardTimeZoneOffset() = 0;

    // Files the process may still open: its limit (RLIMIT_NOFILE) less the
    // descriptors open now. SIZE_MAX when there is no limit to speak of.
    virtual size_t OpenFileRoom() { return SIZE_MAX; }
};

// How reading a settings or list file went.
enum class SmallFileStatus { Ok, Missing, NotRegular, TooLarge, Unreadable };
constexpr size_t kSmallFileLimit = size_t(1) << 20;  // no real settings or list file comes near

// Reads a whole settings or list file. Only a regular file of at most
// kSmallFileLimit bytes is read: a device or FIFO named by mistake would never
// end. `cause` is set for Unreadable.
SmallFileStatus ReadSmallFile(const std::string& path, std::string& bytes, int& cause);

// The POSIX implementation. `shortNames` false reports no 8.3 alternate names.
std::unique_ptr<Platform> MakePosixPlatform(bool shortNames = true);

}  // namespace pm
