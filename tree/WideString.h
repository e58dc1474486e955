// UTF-16 text for Joliet (units stored most significant byte first) and UDF
// CS0 text (compression ID 16, then big-endian UTF-16 units).
#pragma once

#include <cstdint>
#include <string>
#include <memory>

namespace pm {

class WideString {
public:
    WideString() = default;
    explicit WideString(const std::string& utf8) { Assign(utf8); }
    virtual ~WideString() = default;
    WideString(WideString&&) noexcept = default;
    WideString& operator=(WideString&&) noexcept = default;
    WideString(const WideString& other) { *this = other; }
    WideString& operator=(const WideString& other);

    // Converts UTF-8 text; returns the length in units.
    int Assign(const std::string& utf8);
    int Allocate(int n);
    void Free();
    int Length() const { return m_length; }
    int ByteLength() const { return 2 * m_length; }
    // The units in stored (big-endian) order, followed by one zero unit; null
    // when empty.
    const uint8_t* Data() const { return m_length ? m_buffer.get() : nullptr; }
    uint8_t* Data() { return m_length ? m_buffer.get() : nullptr; }

private:
    // A bare buffer: every node of the tree holds two of these strings.
    std::unique_ptr<uint8_t[]> m_buffer;
    int m_length = 0;
};

// Encodes `count` UTF-16 units as CS0 with the given compression ID. Without a
// destination it returns the size needed (2 * count + 1).
int EncodeCs0(int count, uint8_t compressionId, const char16_t* hostUnits, uint8_t* dest);
int EncodeCs0BigEndian(int count, uint8_t compressionId, const uint8_t* beUnits, uint8_t* dest);

class Cs0String {
public:
    Cs0String() = default;
    explicit Cs0String(const std::string& utf8) { Assign(utf8); }
    virtual ~Cs0String() = default;
    Cs0String(Cs0String&&) noexcept = default;
    Cs0String& operator=(Cs0String&&) noexcept = default;
    Cs0String(const Cs0String& other) { Copy(other); }
    Cs0String& operator=(const Cs0String& other) {
        if (this != &other) Copy(other);
        return *this;
    }

    int AssignWide(const WideString& w);
    int AssignUnits(int count, const char16_t* hostUnits);
    int AssignWideZ(const char16_t* hostUnitsZ);
    int Assign(const std::string& utf8);
    int Copy(const Cs0String& other);
    int Allocate(int n);
    void Free();
    int Length() const { return m_length; }  // bytes, compression ID included
    const uint8_t* Data() const { return m_length ? m_buffer.get() : nullptr; }

private:
    std::unique_ptr<uint8_t[]> m_buffer;
    int m_length = 0;
};

}  // namespace pm
