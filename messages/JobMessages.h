// The queue of failure texts of a build, shown together in one box at the end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pm {

class JobMessages {
public:
    virtual ~JobMessages() = default;

    void AddText(int id);
    void AddFormatted(int id, const std::string& arg);
    void AddFormatted(int id, const std::string& a, const std::string& b);
    void AddNameList(int id, const std::vector<std::string>& names);
    void AddFileError(int id, const FileError& error);
    bool HasMessages() const { return !m_entries.empty(); }
    const std::vector<std::string>& Entries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

    // The entries joined with "\n"; empty when there are none.
    std::string JoinedText() const;
    // Hands the joined text to the shower (a warning box, stderr, ...), empties
    // the list and returns the number of entries shown; 0 and no call when empty.
    int ShowAll(const std::function<void(const std::string&)>& shower);

private:
    std::vector<std::string> m_entries;
};

// Cause text number of a file error cause (kCauseTextUnknown-kCauseTextDiskFull); 0 for cause 14.
int CauseTextId(int cause);

// The process-wide queue.
JobMessages& TheJobMessages();

}  // namespace pm
