// Helpers for tests that build UDF structures: a time zone that holds for one
// scope, and nodes made by hand with the placement the layout would give.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "platform/Time.h"
#include "tree/FileEntry.h"

namespace pm::test {

// Sets TZ and TimeZoneOffset; restores both when it goes out of scope.
class ScopedTimeZone {
public:
    ScopedTimeZone(const char* tz, int offsetMinutes) : m_savedOffset(TimeZoneOffset) {
        if (const char* old = std::getenv("TZ")) m_savedTz = old;
        setenv("TZ", tz, 1);
        tzset();
        TimeZoneOffset = offsetMinutes;
    }
    ~ScopedTimeZone() {
        if (m_savedTz) setenv("TZ", m_savedTz->c_str(), 1);
        else unsetenv("TZ");
        tzset();
        TimeZoneOffset = m_savedOffset;
    }

private:
    std::optional<std::string> m_savedTz;
    int m_savedOffset;
};

// A child node with its UDF name set from UTF-8.
inline CFileEntry* AddUdfNode(CFileEntry& parent, const std::string& name, bool directory, uint64_t size = 0) {
    auto node = std::make_unique<CFileEntry>();
    node->m_strName = name;
    node->m_strPath = parent.m_strPath + "/" + name;
    node->m_udfName.Assign(name);
    node->m_bDirectory = directory;
    node->m_nUdfSize = size;
    node->m_pParent = &parent;
    node->m_nDepth = parent.m_nDepth + 1;
    parent.m_children.push_back(std::move(node));
    return parent.m_children.back().get();
}

}  // namespace pm::test
