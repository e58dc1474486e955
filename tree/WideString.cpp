#include "tree/WideString.h"

#include <algorithm>

#include "tree/Text.h"

namespace pm {

int WideString::Allocate(int n) {
    Free();
    if (n <= 0) return n;
    m_length = n;
    m_buffer = std::make_unique<uint8_t[]>(size_t(n + 1) * 2);  // zeroed: the trailing zero unit
    return n;
}

void WideString::Free() {
    m_buffer.reset();
    m_length = 0;
}

WideString& WideString::operator=(const WideString& other) {
    if (this != &other && Allocate(other.m_length) > 0)
        std::copy(other.m_buffer.get(), other.m_buffer.get() + 2 * m_length, m_buffer.get());
    else if (this != &other) Free();
    return *this;
}

int WideString::Assign(const std::string& utf8) {
    std::u16string u = Utf8ToUtf16(utf8);
    if (Allocate(int(u.size())) <= 0) return 0;
    for (size_t i = 0; i < u.size(); ++i) {
        m_buffer[2 * i] = uint8_t(u[i] >> 8);  // stored most significant byte first
        m_buffer[2 * i + 1] = uint8_t(u[i] & 0xFF);
    }
    return m_length;
}

int EncodeCs0(int count, uint8_t compressionId, const char16_t* hostUnits, uint8_t* dest) {
    if (!dest) return 2 * count + 1;
    dest[0] = compressionId;
    for (int i = 0; i < count; ++i) {
        dest[1 + 2 * i] = uint8_t(hostUnits[i] >> 8);
        dest[2 + 2 * i] = uint8_t(hostUnits[i] & 0xFF);
    }
    return 2 * count + 1;
}

int EncodeCs0BigEndian(int count, uint8_t compressionId, const uint8_t* beUnits, uint8_t* dest) {
    if (!dest) return 2 * count + 1;
    dest[0] = compressionId;
    for (int i = 0; i < 2 * count; ++i) dest[1 + i] = beUnits[i];
    return 2 * count + 1;
}

int Cs0String::Allocate(int n) {
    Free();
    if (n <= 0) return n;
    m_length = n;
    m_buffer = std::make_unique<uint8_t[]>(size_t(n) + 2);  // zeroed: the two trailing zero bytes
    return n;
}

void Cs0String::Free() {
    m_buffer.reset();
    m_length = 0;
}

int Cs0String::AssignWide(const WideString& w) {
    int n = EncodeCs0BigEndian(w.Length(), 16, w.Data(), nullptr);
    if (Allocate(n) > 0) EncodeCs0BigEndian(w.Length(), 16, w.Data(), m_buffer.get());
    return m_length;
}

int Cs0String::AssignUnits(int count, const char16_t* hostUnits) {
    if (count < 0) count = 0;
    int n = EncodeCs0(count, 16, hostUnits, nullptr);
    if (Allocate(n) > 0) EncodeCs0(count, 16, hostUnits, m_buffer.get());
    return m_length;
}

int Cs0String::AssignWideZ(const char16_t* hostUnitsZ) {
    int count = 0;
    if (hostUnitsZ) while (hostUnitsZ[count]) ++count;
    return AssignUnits(count, hostUnitsZ);
}

int Cs0String::Assign(const std::string& utf8) {
    std::u16string u = Utf8ToUtf16(utf8);
    return AssignUnits(int(u.size()), u.data());
}

int Cs0String::Copy(const Cs0String& other) {
    if (Allocate(other.m_length) > 0)
        for (int i = 0; i < m_length; ++i) m_buffer[i] = other.m_buffer[i];
    return m_length;
}

}  // namespace pm
