// The exclusion list "except.txt": one name per line; an entry whose name
// matches a line (ASCII letters without case, full-width letters too) never
// enters an image.
#pragma once

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pm {

class ExceptList {
public:
    // Reads the file; a file that cannot be read leaves the list empty, and
    // the status says why (`cause` for an unreadable file).
    SmallFileStatus Load(const std::string& filePath, int* cause = nullptr);
    void SetEntries(std::vector<std::string> entries) { m_entries = std::move(entries); }
    const std::vector<std::string>& Entries() const { return m_entries; }
    // False when the name matches an entry.
    bool IsIncluded(const std::string& name) const;

private:
    std::vector<std::string> m_entries;
};

}  // namespace pm
