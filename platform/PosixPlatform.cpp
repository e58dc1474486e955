// The POSIX side of the platform seam.
#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include "platform/Platform.h"
#include "platform/ShortNames.h"

namespace pm {
namespace {

// The last component of a path; callers have dropped trailing "/".
std::string LastComponent(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    if (slash + 1 == path.size()) return path;  // "/" itself
    return path.substr(slash + 1);
}

void FillFromStat(DirEntry& e, const struct stat& st) {
    e.directory = S_ISDIR(st.st_mode);
    // A folder has no size of its own until the layout gives it one.
    e.size = e.directory ? 0 : uint64_t(st.st_size);
    e.mtime = int64_t(st.st_mtim.tv_sec);
    e.device = uint64_t(st.st_dev);
    e.inode = uint64_t(st.st_ino);
    e.mode = uint32_t(st.st_mode);
    e.uid = uint32_t(st.st_uid);
    e.gid = uint32_t(st.st_gid);
    e.links = uint32_t(st.st_nlink);
    e.atime = int64_t(st.st_atim.tv_sec);
    e.ctime = int64_t(st.st_ctim.tv_sec);
}

// The target text of a symbolic link, whatever its length; false with errno.
bool ReadLinkAt(int dirFd, const char* name, std::string& target) {
    std::vector<char> buf(256);
    for (;;) {
        ssize_t n = ::readlinkat(dirFd, name, buf.data(), buf.size());
        if (n < 0) return false;
        if (size_t(n) < buf.size()) {
            target.assign(buf.data(), size_t(n));
            return true;
        }
        buf.resize(buf.size() * 2);
    }
}

// Closes a descriptor on every way out.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { if (m_fd >= 0) ::close(m_fd); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() { int fd = m_fd; m_fd = -1; return fd; }
    void reset(int fd) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// A folder by a path of any length: the kernel takes at most PATH_MAX bytes
// in one call, so a longer path is walked in pieces, each relative to the
// handle of the folder before it. Links are followed as everywhere else.
int OpenFolderPath(const std::string& dir) {
    const int flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    if (dir.size() < PATH_MAX) return ::open(dir.empty() ? "." : dir.c_str(), flags);
    size_t pos = 0;
    Fd at(::open(dir[0] == '/' ? "/" : ".", flags));
    while (at.get() >= 0) {
        while (pos < dir.size() && dir[pos] == '/') ++pos;
        if (pos == dir.size()) return at.release();
        // The longest run of whole components that one call takes.
        size_t end = pos;
        for (size_t next = dir.find('/', pos);; next = dir.find('/', next + 1)) {
            size_t stop = next == std::string::npos ? dir.size() : next;
            if (stop - pos >= PATH_MAX - 1 && end > pos) break;
            end = stop;
            if (next == std::string::npos) break;
        }
        at.reset(::openat(at.get(), dir.substr(pos, end - pos).c_str(), flags));
        pos = end;
    }
    return -1;
}

// Splits off the last component: the folder (may be "") and the name.
void SplitLast(const std::string& path, std::string& folder, std::string& name) {
    size_t slash = path.rfind('/');
    folder = slash == std::string::npos ? std::string(".") : (slash == 0 ? "/" : path.substr(0, slash));
    name = slash == std::string::npos ? path : path.substr(slash + 1);
}

int OpenAnyLength(const std::string& path, int flags, mode_t mode = 0) {
    if (path.size() < PATH_MAX) return ::open(path.c_str(), flags, mode);
    std::string folder, name;
    SplitLast(path, folder, name);
    Fd at(OpenFolderPath(folder));
    if (at.get() < 0) return -1;
    return ::openat(at.get(), name.c_str(), flags, mode);
}

int StatAnyLength(const std::string& path, struct stat& st) {
    if (path.size() < PATH_MAX) return ::stat(path.c_str(), &st);
    std::string folder, name;
    SplitLast(path, folder, name);
    Fd at(OpenFolderPath(folder));
    if (at.get() < 0) return -1;
    return ::fstatat(at.get(), name.c_str(), &st, 0);
}

// File systems that carry the DOS hidden attribute, and how to read it.
enum class Attributes { None, Fat, Ntfs };

Attributes AttributesOf(int dirFd) {
    struct statfs fs;
    if (::fstatfs(dirFd, &fs) != 0) return Attributes::None;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x4d44:      // vfat, msdos
    case 0x2011BAB0:  // exfat
        return Attributes::Fat;
    case 0x7366746e:  // ntfs3
    case 0x65735546:  // fuse (ntfs-3g): asked, and ignored where unknown
        return Attributes::Ntfs;
    default:
        return Attributes::None;
    }
}

bool HasHiddenAttribute(int dirFd, const char* name, Attributes kind) {
    if (kind == Attributes::None) return false;
    Fd fd(::openat(dirFd, name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) return false;
    if (kind == Attributes::Fat) {
        uint32_t attr = 0;
        return ::ioctl(fd.get(), FAT_IOCTL_GET_ATTRIBUTES, &attr) == 0 && (attr & ATTR_HIDDEN) != 0;
    }
    uint8_t be[4];
    if (::fgetxattr(fd.get(), "system.ntfs_attrib_be", be, sizeof be) != sizeof be) return false;
    return (be[3] & 0x02) != 0;  // FILE_ATTRIBUTE_HIDDEN
}

class PosixInputFile : public InputFile {
public:
    PosixInputFile(int fd, std::string path) : m_fd(fd), m_path(std::move(path)) {}
    ~PosixInputFile() override { ::close(m_fd); }

    long long Read(void* data, size_t n, FileError& err) override {
        // Sequential read-ahead is asked for only when the reader takes
        // large pieces: it cannot help a file smaller than one piece, and
        // a tree of 100,000 small files paid a system call per file for it.
        if (!m_advised && n >= kAdviseFrom) {
            ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
            m_advised = true;
        }
        for (;;) {
            ssize_t got = ::read(m_fd, data, n);
            if (got >= 0) return got;
            if (errno == EINTR) continue;
            err.cause = CauseFromErrno(errno);
            err.path = m_path;
            return -1;
        }
    }

    bool Stat(uint64_t& size, int64_t& mtime) override {
        struct stat st;
        if (::fstat(m_fd, &st) != 0) return false;
        size = uint64_t(st.st_size);
        mtime = int64_t(st.st_mtim.tv_sec);
        return true;
    }

    void ReadSoon() override {
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        ::posix_fadvise(m_fd, 0, kAdviseFrom, POSIX_FADV_WILLNEED);
        m_advised = true;
    }

    int Fd() const { return m_fd; }
    const std::string& Path() const { return m_path; }

private:
    static constexpr size_t kAdviseFrom = size_t(256) << 10;
    int m_fd;
    std::string m_path;
    bool m_advised = false;
};

// Gathers writes into one large buffer: an image is written one 2048-byte
// sector at a time, and a system call per sector would dominate the build.
class PosixOutputFile : public OutputFile {
public:
    static constexpr size_t kBufferSize = size_t(1) << 20;

    // `ownsFd` false leaves the descriptor open at the end (standard output).
    PosixOutputFile(int fd, std::string path, bool ownsFd = true)
        : m_fd(fd), m_path(std::move(path)), m_ownsFd(ownsFd) {
        m_buffer.reserve(kBufferSize);
    }
    ~PosixOutputFile() override {
        FileError ignored;
        Close(ignored);
    }

    bool Write(const void* data, size_t n, FileError& err) override {
        if (!Usable(err)) return false;
        auto p = static_cast<const char*>(data);
        if (m_buffer.size() + n > kBufferSize) {
            if (!Flush(err)) return false;
            if (n >= kBufferSize) return WriteAll(p, n, err);
        }
        m_buffer.insert(m_buffer.end(), p, p + n);
        if (m_buffer.size() == kBufferSize) return Flush(err);
        return true;
    }

    bool Flush(FileError& err) override {
        if (!Usable(err)) return false;
        bool ok = WriteAll(m_buffer.data(), m_buffer.size(), err);
        m_buffer.clear();
        return ok;
    }

    uint64_t Written() const override { return m_written; }

    // copy_file_range: the kernel moves the pages from file to file, with no
    // copy through our memory. Both offsets are the descriptors' own, so
    // reads and writes before and after carry on where it ended.
    long long MoveFrom(InputFile& in, size_t n, FileError& err) override {
        auto* source = dynamic_cast<PosixInputFile*>(&in);
        if (!source || !m_canMove) return kCannotMoveHere;
        if (!Flush(err)) return -1;
        if (m_holes < 0) m_holes = FreshRegularFile() ? 1 : 0;
        // A short count is no end of the file: only 0 is. So the call is
        // repeated until all n bytes or the end, and a short total means the
        // file is shorter than it was.
        size_t total = 0;
        while (total < n) {
            size_t piece = n - total;
            if (m_holes > 0) {
                const long long hole = Hole(source->Fd(), piece);
                if (hole < 0) break;  // the end of the file
                if (hole > 0) {
                    if (!SkipHole(source->Fd(), size_t(hole), err)) return total > 0 ? (long long)total : -1;
                    total += size_t(hole);
                    continue;
                }
            }
            ssize_t moved = ::copy_file_range(source->Fd(), nullptr, m_fd, nullptr, piece, 0);
            if (moved > 0) {
                m_written += uint64_t(moved);
                total += size_t(moved);
                continue;
            }
            if (moved == 0) break;
            if (errno == EINTR) continue;
            if (total > 0) return (long long)total;  // the next call meets the cause again
            // Not between these two (another file system on an old kernel, a
            // pipe, a file system without it): nothing moved, so the caller
            // takes over at the same place.
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF) {
                m_canMove = false;
                return kCannotMoveHere;
            }
            // EIO and the like may be the source's or ours; the source is
            // read again by the caller, which names it if it fails there.
            if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) return Fail(errno, err) ? 0 : -1;
            m_canMove = false;
            return kCannotMoveHere;
        }
        return (long long)total;
    }

    bool Close(FileError& err) override {
        if (m_fd < 0) return true;
        bool ok = m_failed == 0 ? Flush(err) : Usable(err);
        if (m_ownsFd && ::close(m_fd) != 0 && ok) ok = Fail(errno, err);
        m_fd = -1;
        return ok;
    }

private:
    bool Usable(FileError& err) {
        if (m_fd < 0) {
            err.cause = kCauseInvalidHandle;
            err.path = m_path;
            return false;
        }
        if (m_failed != 0) {  // bytes were lost: every later call fails too
            err.cause = m_failed;
            err.path = m_path;
            return false;
        }
        return true;
    }

    // Holes of a sparse source stay holes in the image: nothing is read or
    // written for them, and they take no space (a sparse 9 GiB disk image
    // goes in at the speed of its data). Only into a regular file this build
    // began empty, where a range passed over is sure to read as zeros.
    bool FreshRegularFile() {
        struct stat st;
        return m_ownsFd && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) &&
               uint64_t(st.st_size) == m_written && ::lseek(m_fd, 0, SEEK_CUR) == off_t(m_written);
    }

    // The bytes of the hole at the source's position, at most `most`: 0 when
    // data comes first (`most` then shrinks to the data before the next
    // hole), -1 at the end of the file. The position is kept.
    long long Hole(int fd, size_t& most) {
        const off_t at = ::lseek(fd, 0, SEEK_CUR);
        off_t data = ::lseek(fd, at, SEEK_DATA);
        long long hole = 0;
        struct stat st;
        if (data < 0 && errno == ENXIO && ::fstat(fd, &st) == 0) {
            if (st.st_size <= at) return -1;
            data = st.st_size;  // a hole to the end
        }
        if (data < 0) {
            m_holes = 0;  // a file system that cannot say
        } else if (data > at) {
            hole = (long long)std::min<uint64_t>(most, uint64_t(data - at));
        } else {
            const off_t next = ::lseek(fd, at, SEEK_HOLE);
            if (next > at) most = std::min<uint64_t>(most, uint64_t(next - at));
        }
        ::lseek(fd, at, SEEK_SET);
        return hole;
    }

    // Passes over n bytes of source and image; the image's length follows,
    // so that one ending in a hole is as long as its last sector says.
    bool SkipHole(int fd, size_t n, FileError& err) {
        const off_t to = off_t(m_written + n);
        if (::lseek(fd, off_t(n), SEEK_CUR) < 0 || ::lseek(m_fd, to, SEEK_SET) != to || ::ftruncate(m_fd, to) != 0)
            return Fail(errno, err);
        m_written += n;
        return true;
    }

    bool Fail(int errnum, FileError& err) {
        m_failed = CauseFromErrno(errnum);
        if (m_failed == kCauseNone) m_failed = kCauseGeneric;
        err.cause = m_failed;
        err.path = m_path;
        return false;
    }

    bool WriteAll(const char* p, size_t n, FileError& err) {
        while (n > 0) {
            ssize_t put = ::write(m_fd, p, n);
            if (put < 0) {
                if (errno == EINTR) continue;
                return Fail(errno, err);
            }
            if (put == 0) return Fail(ENOSPC, err);
            p += put;
            n -= size_t(put);
            m_written += uint64_t(put);
        }
        return true;
    }

    int m_fd;
    std::string m_path;
    bool m_ownsFd;
    std::vector<char> m_buffer;
    uint64_t m_written = 0;
    int m_failed = kCauseNone;
    bool m_canMove = true;
    int m_holes = -1;  // holes may be passed over: -1 not yet known
};

class PosixPlatform : public Platform {
public:
    explicit PosixPlatform(bool shortNames) : m_shortNames(shortNames) {
        m_euid = ::geteuid();
        m_groups.push_back(::getegid());
        int n = ::getgroups(0, nullptr);
        if (n > 0) {
            std::vector<gid_t> more(static_cast<size_t>(n), gid_t(0));
            n = ::getgroups(n, more.data());
            if (n > 0) m_groups.insert(m_groups.end(), more.begin(), more.begin() + n);
        }
    }

    bool LookupEntry(const std::string& path, DirEntry& out) override {
        struct stat st;
        if (path.empty() || StatAnyLength(path, st) != 0) return false;
        out = DirEntry();
        out.name = LastComponent(path);
        FillFromStat(out, st);
        if (m_shortNames) {
            std::vector<DirEntry> one{out};
            AssignShortNames(one);
            out.shortName = one[0].shortName;
        }
        return true;
    }

    bool ListFolder(const std::string& path, std::vector<DirEntry>& out, FileError& err, bool keepLinks) override {
        out.clear();
        err = FileError{kCauseNone, path};
        Fd dfd(OpenAnyLength(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        DIR* dir = dfd.get() < 0 ? nullptr : ::fdopendir(dfd.get());
        if (!dir) return Fail(err);
        dfd.release();  // the stream owns it now
        const int fd = ::dirfd(dir);
        const Attributes attributes = AttributesOf(fd);
        bool ok = true;
        for (;;) {
            errno = 0;
            struct dirent* d = ::readdir(dir);
            if (!d) {
                ok = errno == 0 || Fail(err);
                break;
            }
            if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
            DirEntry e;
            e.name = d->d_name;
            struct stat st;
            if (keepLinks && ::fstatat(fd, d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) {
                FillFromStat(e, st);
                e.size = 0;
                e.symlink = ReadLinkAt(fd, d->d_name, e.linkTarget);
                if (!e.symlink) {
                    if (errno == ENOENT) continue;  // removed since it was listed
                    ok = Fail(err);
                    break;
                }
                out.push_back(std::move(e));
                continue;
            }
            if (::fstatat(fd, d->d_name, &st, 0) != 0) {
                // A link to nothing (or to itself) is told apart from a folder
                // whose entries this user may not look at.
                int why = errno;
                struct stat link;
                if ((why == ENOENT || why == ELOOP) && ::fstatat(fd, d->d_name, &link, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISLNK(link.st_mode)) {
                    e.skipped = Skipped::DanglingLink;
                    out.push_back(std::move(e));
                    continue;
                }
                if (why == ENOENT) continue;  // removed since it was listed
                errno = why;
                ok = Fail(err);
                break;
            }
            FillFromStat(e, st);
            // Only files and folders: reading a FIFO or a device would hang
            // or never end.
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) e.skipped = Skipped::Special;
            else {
                e.readable = MayRead(st);
                e.hidden = HasHiddenAttribute(fd, d->d_name, attributes);
            }
            out.push_back(std::move(e));
        }
        ::closedir(dir);
        if (!ok) {
            out.clear();
            return false;
        }
        if (m_shortNames) AssignShortNames(out);
        return true;
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path, FileError& err) override {
        // O_NONBLOCK: a file replaced by a FIFO since the scan must not hang the build.
        int fd = OpenAnyLength(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            err.cause = CauseFromErrno(errno);
            err.path = path;
            return nullptr;
        }
        return std::make_unique<PosixInputFile>(fd, path);
    }

    std::unique_ptr<OutputFile> CreateOutput(const std::string& path, FileError& err) override {
        err.path = path;
        // No O_TRUNC: a file another build holds must survive this attempt.
        // O_NONBLOCK only keeps a FIFO from blocking the open.
        int fd = OpenAnyLength(path, O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0) {
            err.cause = errno == ENOENT ? MissingFolderCause(path) : CauseFromErrno(errno);
            return nullptr;
        }
        auto fail = [&](int cause) -> std::unique_ptr<OutputFile> {
            ::close(fd);
            err.cause = cause == kCauseNone ? kCauseGeneric : cause;
            return nullptr;
        };
        int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(CauseFromErrno(errno));
        while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EINTR) continue;
            if (errno == EWOULDBLOCK) return fail(kCauseSharingViolation);
            return fail(CauseFromErrno(errno));
        }
        struct stat st;
        if (::fstat(fd, &st) != 0) return fail(CauseFromErrno(errno));
        // Devices such as /dev/full cannot be truncated and need not be. An
        // empty file is left alone: on ext4 a truncation makes close() flush
        // the whole new image to disk first (a quarter second per GiB).
        if (S_ISREG(st.st_mode) && st.st_size != 0 && ::ftruncate(fd, 0) != 0)
            return fail(CauseFromErrno(errno));
        return std::make_unique<PosixOutputFile>(fd, path);
    }

    std::unique_ptr<OutputFile> OpenStandardOutput(const std::string& name, FileError& err) override {
        err.path = name;
        if (::fcntl(STDOUT_FILENO, F_GETFL) < 0) {
            err.cause = kCauseInvalidHandle;  // closed by whoever started us
            return nullptr;
        }
        return std::make_unique<PosixOutputFile>(STDOUT_FILENO, name, false);
    }

    bool StandardOutputEntry(DirEntry& out) override {
        struct stat st;
        if (::fstat(STDOUT_FILENO, &st) != 0) return false;
        out = DirEntry();
        out.directory = S_ISDIR(st.st_mode);
        out.device = uint64_t(st.st_dev);
        out.inode = uint64_t(st.st_ino);
        return true;
    }

    bool CreateFolder(const std::string& path) override {
        return ::mkdir(path.c_str(), 0777) == 0;
    }

    std::string ProgramPath() override {
        std::string buf(256, '\0');
        for (;;) {
            ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
            if (n < 0) return std::string();
            if (size_t(n) < buf.size()) return buf.substr(0, size_t(n));
            buf.resize(buf.size() * 2);
        }
    }

    int StandardTimeZoneOffset() override {
        ::tzset();
        return int(-timezone / 60);
    }

    size_t OpenFileRoom() override {
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
        // The descriptors open now, counted in /proc/self/fd (whose own
        // listing handle is one of them).
        size_t open = 0;
        if (DIR* d = ::opendir("/proc/self/fd")) {
            while (const dirent* e = ::readdir(d)) open += e->d_name[0] != '.';
            ::closedir(d);
            open = open > 0 ? open - 1 : 0;
        } else {
            for (int fd = 0; fd < int(std::min<rlim_t>(limit.rlim_cur, 65536)); ++fd) open += ::fcntl(fd, F_GETFD) != -1;
        }
        return limit.rlim_cur > open ? size_t(limit.rlim_cur - open) : 0;
    }

private:
    // Why a folder of the path is missing: the folders could not be made in
    // the nearest one that exists (a read-only file system, no permission).
    // "File not found" when that cannot be told.
    static int MissingFolderCause(const std::string& path) {
        std::string folder = path;
        for (;;) {
            const size_t slash = folder.find_last_of('/');
            if (slash == std::string::npos) folder = ".";
            else folder.resize(slash == 0 ? 1 : slash);
            struct stat st;
            if (StatAnyLength(folder, st) == 0) {
                if (!S_ISDIR(st.st_mode) || ::access(folder.c_str(), W_OK) == 0) return kCauseFileNotFound;
                return CauseFromErrno(errno);
            }
            if (folder == "." || folder == "/") return kCauseFileNotFound;
        }
    }

    static bool Fail(FileError& err) {
        err.cause = CauseFromErrno(errno);
        if (err.cause == kCauseNone) err.cause = kCauseGeneric;
        return false;
    }

    // What the permission bits let this user do; root reads everything.
    bool MayRead(const struct stat& st) const {
        if (m_euid == 0) return true;
        const unsigned need = S_ISDIR(st.st_mode) ? 5 : 4;  // r-x for a folder, r-- for a file
        unsigned shift = 0;
        if (st.st_uid == m_euid) shift = 6;
        else if (std::find(m_groups.begin(), m_groups.end(), st.st_gid) != m_groups.end()) shift = 3;
        return ((unsigned(st.st_mode) >> shift) & need) == need;
    }

    bool m_shortNames;
    uid_t m_euid = 0;
    std::vector<gid_t> m_groups;
};

}  // namespace

SmallFileStatus ReadSmallFile(const std::string& path, std::string& bytes, int& cause) {
    bytes.clear();
    cause = kCauseNone;
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    Fd fd(path.empty() ? -1 : OpenAnyLength(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        if (path.empty() || errno == ENOENT) return SmallFileStatus::Missing;
        cause = CauseFromErrno(errno);
        return SmallFileStatus::Unreadable;
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0) {
        cause = CauseFromErrno(errno);
        return SmallFileStatus::Unreadable;
    }
    if (!S_ISREG(st.st_mode)) return SmallFileStatus::NotRegular;
    if (uint64_t(st.st_size) > kSmallFileLimit) return SmallFileStatus::TooLarge;
    char piece[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), piece, sizeof piece);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            cause = CauseFromErrno(errno);
            bytes.clear();
            return SmallFileStatus::Unreadable;
        }
        if (n == 0) return SmallFileStatus::Ok;
        bytes.append(piece, size_t(n));
        if (bytes.size() > kSmallFileLimit) {  // grew since the fstat
            bytes.clear();
            return SmallFileStatus::TooLarge;
        }
    }
}

std::unique_ptr<Platform> MakePosixPlatform(bool shortNames) {
    return std::make_unique<PosixPlatform>(shortNames);
}

}  // namespace pm
