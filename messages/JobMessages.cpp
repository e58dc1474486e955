#include "messages/JobMessages.h"

#include "messages/Strings.h"

namespace pm {

std::string JobMessage::Text() const {
    switch (form) {
    case Form::Text: return LoadString(id);
    case Form::Formatted: return args.size() == 1 ? FormatString(id, args[0]) : FormatString(id, args[0], args[1]);
    case Form::NameList: {
        std::string entry;
        for (const std::string& name : args) entry += name + "\n";
        return entry + LoadString(id);
    }
    case Form::FileError: return args[0] + "\n" + LoadString(id) + "\n" + LoadString(causeId);
    }
    return std::string();
}

void JobMessages::AddText(int id) { m_entries.push_back({JobMessage::Form::Text, id, {}, 0}); }

void JobMessages::AddFormatted(int id, const std::string& arg) {
    m_entries.push_back({JobMessage::Form::Formatted, id, {arg}, 0});
}

void JobMessages::AddFormatted(int id, const std::string& a, const std::string& b) {
    m_entries.push_back({JobMessage::Form::Formatted, id, {a, b}, 0});
}

void JobMessages::AddNameList(int id, const std::vector<std::string>& names) {
    m_entries.push_back({JobMessage::Form::NameList, id, names, 0});
}

void JobMessages::AddFileError(int id, const FileError& error) {
    int cause = CauseTextId(error.cause);
    if (cause == 0) return;  // the end of a file is not worth a report
    m_entries.push_back({JobMessage::Form::FileError, id, {error.path}, cause});
}

std::string JobMessages::JoinedText() const {
    std::string text;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (i) text += "\n";
        text += m_entries[i].Text();
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

}  // namespace pm
