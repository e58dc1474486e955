#include "messages/JobMessages.h"

#include "messages/Strings.h"

namespace pm {

void JobMessages::AddText(int id) { m_entries.push_back(LoadString(id)); }

void JobMessages::AddFormatted(int id, const std::string& arg) {
    m_entries.push_back(FormatString(id, arg));
}

void JobMessages::AddFormatted(int id, const std::string& a, const std::string& b) {
    m_entries.push_back(FormatString(id, a, b));
}

void JobMessages::AddNameList(int id, const std::vector<std::string>& names) {
    std::string entry;
    for (const std::string& name : names) entry += name + "\n";
    m_entries.push_back(entry + LoadString(id));
}

void JobMessages::AddFileError(int id, const FileError& error) {
    int cause = CauseTextId(error.cause);
    if (cause == 0) return;  // the end of a file is not worth a report
    m_entries.push_back(error.path + "\n" + LoadString(id) + "\n" + LoadString(cause));
}

std::string JobMessages::JoinedText() const {
    std::string text;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (i) text += "\n";
        text += m_entries[i];
    }
    return text;
}

int JobMessages::ShowAll(const std::function<void(const std::string&)>& shower) {
    if (m_entries.empty()) return 0;
    std::string text = JoinedText();
    int shown = int(m_entries.size());
    m_entries.clear();
    if (shower) shower(text);
    return shown;
}

int CauseTextId(int cause) {
    if (cause == kCauseEndOfFile) return 0;
    if (cause == kCauseReadOnly) return kCauseTextReadOnly;
    if (cause >= kCauseFileNotFound && cause <= kCauseDiskFull) return kCauseTextFileNotFound + (cause - kCauseFileNotFound);
    return kCauseTextUnknown;
}

JobMessages& TheJobMessages() {
    static JobMessages messages;
    return messages;
}

}  // namespace pm
