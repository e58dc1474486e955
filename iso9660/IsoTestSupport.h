// Helpers for the ISO 9660 tests: a time-zone scope and hand-built tree nodes.
#pragma once

#include <cstdlib>
#include <ctime>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/Time.h"
#include "tree/FileEntry.h"
#include "tree/Text.h"

namespace pm::test {

using Bytes = std::vector<uint8_t>;

// Golden-byte builders: concatenation, ASCII text, ASCII as big-endian
// UTF-16 units, repeated pairs.
inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes v;
    for (const Bytes& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}
inline Bytes Str(const std::string& t) { return Bytes(t.begin(), t.end()); }
inline Bytes Units(const std::string& ascii) {
    Bytes v;
    for (char c : ascii) v.insert(v.end(), {0, uint8_t(c)});
    return v;
}
inline Bytes Pairs(int count, uint8_t a, uint8_t b) {
    Bytes v;
    for (int i = 0; i < count; ++i) v.insert(v.end(), {a, b});
    return v;
}

// Sets TZ (a POSIX string) for one test, restores it.
class TzScope {
public:
    explicit TzScope(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            m_hadTz = true;
            m_savedTz = old;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TzScope() {
        if (m_hadTz) setenv("TZ", m_savedTz.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    bool m_hadTz = false;
    std::string m_savedTz;
};

// Seconds since 1970 of a UTC calendar time.
inline int64_t Utc(int y, int mo, int d, int h, int mi, int s) {
    struct tm t {};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return int64_t(timegm(&t));
}

// A node with both names set from one UTF-8 name (ISO name as code page 932).
inline std::unique_ptr<CFileEntry> MakeNode(const std::string& name, bool dir, uint64_t size = 0,
                                            uint32_t sector = 0) {
    auto n = std::make_unique<CFileEntry>();
    n->m_strName = name;
    n->m_strShortName = Utf8ToCp932(name);
    n->m_bDirectory = dir;
    n->m_nIsoSize = n->m_nJolietSize = size;
    n->m_dwIsoSector = n->m_dwJolietSector = sector;
    return n;
}

// Adds a child to a folder node and returns it.
inline CFileEntry* AddNode(CFileEntry& parent, const std::string& name, bool dir, uint64_t size = 0,
                           uint32_t sector = 0) {
    auto n = MakeNode(name, dir, size, sector);
    n->m_pParent = &parent;
    n->m_nDepth = parent.m_nDepth + 1;
    parent.m_children.push_back(std::move(n));
    return parent.m_children.back().get();
}

}  // namespace pm::test
