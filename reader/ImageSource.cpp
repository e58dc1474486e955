#include "reader/ImageSource.h"

#include "messages/JobMessages.h"
#include "messages/Strings.h"
#include "platform/Platform.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace pm {

std::vector<uint8_t> ImageSource::Read(uint64_t offset, size_t length) const {
    if (!Holds(offset, length)) return {};
    std::vector<uint8_t> v(length);
    if (!ReadAt(offset, v.data(), length)) v.clear();
    return v;
}

bool MemorySource::ReadAt(uint64_t offset, void* out, size_t length) const {
    if (!Holds(offset, length)) return false;
    if (length) std::memcpy(out, m_data + offset, length);
    return true;
}

FileSource::~FileSource() {
    if (m_fd >= 0) ::close(m_fd);
}

bool FileSource::Open(const std::string& path, std::string& error) {
    // O_NONBLOCK: a FIFO named as the image must not wait for a writer
    // before the type is checked (a regular file ignores the flag).
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = LoadString(CauseTextId(CauseFromErrno(errno)));
        if (fd >= 0) ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        error = LoadString(kCauseTextNotRegular);
        return false;
    }
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
    m_size = uint64_t(st.st_size);
    return true;
}

bool FileSource::ReadAt(uint64_t offset, void* out, size_t length) const {
    if (m_fd < 0 || !Holds(offset, length)) return false;
    auto* p = static_cast<uint8_t*>(out);
    while (length > 0) {
        ssize_t n = ::pread(m_fd, p, length, off_t(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // a file cut shorter since it was opened
        p += n, offset += uint64_t(n), length -= size_t(n);
    }
    return true;
}

}  // namespace pm
