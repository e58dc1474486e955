// The POSIX side of the platform seam.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
}

bool IsHiddenName(const std::string& name) {
    return !name.empty() && name[0] == '.' && name != "." && name != "..";
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
        }
        return true;
    }

    int m_fd;
    std::string m_path;
    bool m_ownsFd;
    std::vector<char> m_buffer;
    int m_failed = kCauseNone;
};

class PosixPlatform : public Platform {
public:
    explicit PosixPlatform(bool shortNames) : m_shortNames(shortNames) {}

    bool LookupEntry(const std::string& path, DirEntry& out) override {
        struct stat st;
        if (path.empty() || ::stat(path.c_str(), &st) != 0) return false;
        out = DirEntry();
        out.name = LastComponent(path);
        out.hidden = IsHiddenName(out.name);
        FillFromStat(out, st);
        if (m_shortNames) {
            std::vector<DirEntry> one{out};
            AssignShortNames(one);
            out.shortName = one[0].shortName;
        }
        return true;
    }

    bool ListFolder(const std::string& path, std::vector<DirEntry>& out) override {
        out.clear();
        DIR* dir = ::opendir(path.c_str());
        if (!dir) return false;
        int dfd = ::dirfd(dir);
        for (;;) {
            errno = 0;
            struct dirent* d = ::readdir(dir);
            if (!d) break;
            std::string name = d->d_name;
            if (name == "." || name == "..") continue;
            struct stat st;
            // Follows links; a dangling link fails here and is left out.
            if (::fstatat(dfd, d->d_name, &st, 0) != 0) continue;
            // Only files and folders: reading a FIFO or a device would hang
            // or never end.
            if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) continue;
            DirEntry e;
            e.name = std::move(name);
            e.hidden = IsHiddenName(e.name);
            FillFromStat(e, st);
            out.push_back(std::move(e));
        }
        bool ok = errno == 0;
        ::closedir(dir);
        if (!ok) {
            out.clear();
            return false;
        }
        if (m_shortNames) AssignShortNames(out);
        return true;
    }

    std::unique_ptr<InputFile> OpenRead(const std::string& path, FileError& err) override {
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
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
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
        if (fd < 0) {
            err.cause = CauseFromErrno(errno);
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

private:
    bool m_shortNames;
};

}  // namespace

std::unique_ptr<Platform> MakePosixPlatform(bool shortNames) {
    return std::make_unique<PosixPlatform>(shortNames);
}

}  // namespace pm
