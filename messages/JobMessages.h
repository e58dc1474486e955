// The failures of one build, kept as text numbers with their arguments and
// turned into sentences only when a front end shows them, in its language.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pm {

// One failure: a text number and what goes into it.
struct JobMessage {
    enum class Form { Text, Formatted, NameList, FileError };
    Form form = Form::Text;
    int id = 0;
    std::vector<std::string> args;  // Formatted: the values; NameList: the names; FileError: the path
    int causeId = 0;                // FileError: the cause's text number
    bool operator==(const JobMessage&) const = default;

    // The entry as the box shows it, in the current language.
    std::string Text() const;
};

class JobMessages {
public:
    virtual ~JobMessages() = default;

    void AddText(int id);
    void AddFormatted(int id, const std::string& arg);
    void AddFormatted(int id, const std::string& a, const std::string& b);
    void AddNameList(int id, const std::vector<std::string>& names);
    void AddFileError(int id, const FileError& error);
    bool HasMessages() const { return !m_entries.empty(); }
    const std::vector<JobMessage>& Entries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

    // The entries as sentences joined with "\n"; empty when there are none.
    std::string JoinedText() const;
    // Hands the joined text to the shower (a warning box, stderr, ...), empties
    // the list and returns the number of entries shown; 0 and no call when empty.
    int ShowAll(const std::function<void(const std::string&)>& shower);

private:
    std::vector<JobMessage> m_entries;
};

// Cause text number of a file error cause (kCauseTextUnknown-kCauseTextDiskFull); 0 for cause 14.
int CauseTextId(int cause);

}  // namespace pm
