#include "settings/IniFile.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "tree/Text.h"

namespace pm {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b])) ++b;
    while (e > b && IsBlank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool IsComment(const std::string& trimmed) { return !trimmed.empty() && trimmed[0] == ';'; }

// The section name of a header line, or false.
bool SectionName(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// Splits a key line; false for blank, comment, header and other lines.
bool KeyValue(const std::string& line, std::string& key, std::string& value) {
    std::string t = Trim(line);
    if (t.empty() || IsComment(t) || t[0] == '[') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

std::string Unquote(const std::string& v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

// Quotes a value whose outer blanks or quotes the reader would otherwise
// take away. Line breaks cannot live inside a line; they become spaces.
std::string EncodeValue(std::string v) {
    for (char& c : v)
        if (c == '\r' || c == '\n') c = ' ';
    bool quote = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                                (v.size() >= 2 && v.front() == '"' && v.back() == '"'));
    return quote ? '"' + v + '"' : v;
}

}  // namespace

std::string CutUtf8(const std::string& s, size_t maxBytes) {
    if (s.size() <= maxBytes) return s;
    size_t n = maxBytes;
    // Step back over continuation bytes to the start of the cut sequence.
    while (n > 0 && (uint8_t(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}

uint16_t ParseIniInt(const std::string& s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    // Unsigned arithmetic wraps instead of overflowing; 2^16 divides 2^32, so
    // the low 16 bits come out as for the exact number.
    uint32_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10u + uint32_t(s[i] - '0');
    if (negative) v = 0u - v;
    return uint16_t(v);
}

bool IniFile::Load(const std::string& path, SmallFileStatus* status, int* cause) {
    m_lines.clear();
    std::string bytes;
    int why = kCauseNone;
    SmallFileStatus got = ReadSmallFile(path, bytes, why);
    if (status) *status = got;
    if (cause) *cause = why;
    if (got != SmallFileStatus::Ok) return false;
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    Parse(DecodeTextFile(bytes));
    return true;
}

void IniFile::Parse(const std::string& utf8Text) {
    m_lines.clear();
    size_t pos = 0;
    while (pos < utf8Text.size()) {
        size_t nl = utf8Text.find('\n', pos);
        if (nl == std::string::npos) nl = utf8Text.size();
        std::string line = utf8Text.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_lines.push_back(std::move(line));
        pos = nl + 1;
    }
}

std::string IniFile::Text() const {
    std::string out;
    for (const auto& l : m_lines) out += l + '\n';
    return out;
}

bool IniFile::Save(const std::string& path, int* cause) const {
    namespace fs = std::filesystem;
    std::error_code ec;
    int why = 0;  // errno of the first step that failed
    // Through a link the file it names is replaced, not the link itself.
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    fs::path parent = target.parent_path();
    if (!parent.empty() && !fs::create_directories(parent, ec) && ec) why = ec.value();

    const std::string temp = target.string() + ".tmp";
    FILE* f = why ? nullptr : std::fopen(temp.c_str(), "wb");
    if (!f) {
        if (cause) *cause = CauseFromErrno(why ? why : errno);
        return false;
    }
    const std::string text = Text();
    // The rename must not expose an empty file after a crash: synced first.
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0 && ::fsync(fileno(f)) == 0;
    if (!ok) why = errno;
    if (std::fclose(f) != 0 && ok) ok = false, why = errno;
    if (ok) {
        // The replacement keeps the permissions the user gave the file.
        fs::file_status st = fs::status(target, ec);
        if (!ec && fs::exists(st)) fs::permissions(temp, st.permissions(), ec);
        fs::rename(temp, target, ec);
        if (ec) ok = false, why = ec.value();
    }
    if (!ok) fs::remove(temp, ec);
    if (!ok && cause) *cause = CauseFromErrno(why);
    return ok;
}

bool IniFile::FindSection(const std::string& section, size_t& begin, size_t& end) const {
    std::string name;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (!SectionName(m_lines[i], name) || !EqualsNoCase(name, section)) continue;
        begin = i + 1;
        end = begin;
        while (end < m_lines.size() && !SectionName(m_lines[end], name)) ++end;
        return true;
    }
    return false;
}

size_t IniFile::FindKey(const std::string& section, const std::string& key) const {
    size_t begin, end;
    if (!FindSection(section, begin, end)) return std::string::npos;
    std::string k, v;
    for (size_t i = begin; i < end; ++i)
        if (KeyValue(m_lines[i], k, v) && EqualsNoCase(k, key)) return i;
    return std::string::npos;
}

std::string IniFile::GetString(const std::string& section, const std::string& key,
                               const std::string& fallback) const {
    size_t i = FindKey(section, key);
    if (i == std::string::npos) return CutUtf8(fallback, kIniMaxValueBytes);
    std::string k, v;
    KeyValue(m_lines[i], k, v);
    return CutUtf8(Unquote(v), kIniMaxValueBytes);
}

uint16_t IniFile::GetInt(const std::string& section, const std::string& key, uint16_t fallback) const {
    std::string v = GetString(section, key, std::string());
    return v.empty() ? fallback : ParseIniInt(v);
}

void IniFile::SetString(const std::string& section, const std::string& key, const std::string& value) {
    std::string line = key + '=' + EncodeValue(value);
    size_t i = FindKey(section, key);
    if (i != std::string::npos) {
        m_lines[i] = line;
        return;
    }
    size_t begin, end;
    if (!FindSection(section, begin, end)) {
        if (!m_lines.empty() && !Trim(m_lines.back()).empty()) m_lines.emplace_back();
        m_lines.push_back('[' + section + ']');
        m_lines.push_back(line);
        return;
    }
    // After the section's last non-blank line, so blank lines that separate
    // it from the next section stay where they are.
    size_t at = end;
    while (at > begin && Trim(m_lines[at - 1]).empty()) --at;
    m_lines.insert(m_lines.begin() + std::ptrdiff_t(at), line);
}

}  // namespace pm
