// A small INI file: "[Section]" headers, "key=value" lines, ";" comments.
// Keys and section names compare without ASCII case, whitespace around "=" is
// trimmed, and a value wrapped in double quotes loses them. Writing keeps every
// other line of the file as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace pm {

// The longest text value handed out, in bytes.
constexpr size_t kIniMaxValueBytes = 4095;

class IniFile {
public:
    // Reads the file (UTF-8, or code page 932 when it is not valid UTF-8).
    // False, with an empty file in memory, when it cannot be read.
    // False when the file was not read (status and cause say why).
    bool Load(const std::string& path, SmallFileStatus* status = nullptr, int* cause = nullptr);
    void Parse(const std::string& utf8Text);
    std::string Text() const;
    // Replaces the file through a temporary file beside it; the folder is
    // created when missing. False when any step fails, with the step's cause
    // (a FileErrorCause) in `cause`; the file is then as it was.
    bool Save(const std::string& path, int* cause = nullptr) const;

    // The value, or `fallback` when the key is absent; cut to
    // kIniMaxValueBytes on a character boundary.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& fallback) const;
    // Optional sign, then the leading decimal digits (anything else reads 0),
    // truncated to 16 bits; `fallback` when the key is absent or empty.
    uint16_t GetInt(const std::string& section, const std::string& key, uint16_t fallback) const;
    void SetString(const std::string& section, const std::string& key, const std::string& value);

private:
    // Index of the first line of the section's body and one past its end;
    // false when the section is absent.
    bool FindSection(const std::string& section, size_t& begin, size_t& end) const;
    // Index of the key's line in the section, or npos.
    size_t FindKey(const std::string& section, const std::string& key) const;

    std::vector<std::string> m_lines;
};

// Text cut to at most `maxBytes` without splitting a UTF-8 sequence.
std::string CutUtf8(const std::string& s, size_t maxBytes);
// The INI reader's integer rule, truncated to 16 bits.
uint16_t ParseIniInt(const std::string& s);

}  // namespace pm
