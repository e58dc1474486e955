// Where the readers take an image's bytes from: a buffer in memory (tests,
// the fuzz target) or a file read with pread, so that an image of any size
// can be read without holding it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pm {

class ImageSource {
public:
    virtual ~ImageSource() = default;
    virtual uint64_t Size() const = 0;
    // Exactly `length` bytes from `offset`; false when the range leaves the
    // image or the read fails.
    virtual bool ReadAt(uint64_t offset, void* out, size_t length) const = 0;
    // Bytes of [offset, offset + length) as a vector; empty on failure.
    std::vector<uint8_t> Read(uint64_t offset, size_t length) const;
    bool Holds(uint64_t offset, uint64_t length) const { return offset <= Size() && length <= Size() - offset; }
};

// A source over bytes the caller keeps alive.
class MemorySource : public ImageSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit MemorySource(const std::vector<uint8_t>& v) : MemorySource(v.data(), v.size()) {}
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* out, size_t length) const override;

private:
    const uint8_t* m_data;
    size_t m_size;
};

// A source over an image file. Open fails with the system's reason, in the
// program's language.
class FileSource : public ImageSource {
public:
    FileSource() = default;
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;
    bool Open(const std::string& path, std::string& error);
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* out, size_t length) const override;

private:
    int m_fd = -1;
    uint64_t m_size = 0;
};

}  // namespace pm
