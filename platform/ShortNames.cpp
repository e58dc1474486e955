#include "platform/ShortNames.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "tree/Text.h"

namespace pm {
namespace {

// All 8.3 rules count code page 932 bytes and must never split a double-byte
// character, so the names are walked character by character.
size_t CharLength(const std::string& s, size_t i) {
    auto c = static_cast<unsigned char>(s[i]);
    bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    return (lead && i + 1 < s.size()) ? 2 : 1;
}

// Single-byte characters allowed in an 8.3 name (besides the one dot).
bool IsLegalByte(unsigned char c) {
    if (c >= 0x80) return true;  // half-width katakana
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    return c != 0 && std::strchr("$%'-_@~`!(){}^#&", c) != nullptr;
}

bool IsLegal83(const std::string& cp) {
    size_t dot = std::string::npos;
    for (size_t i = 0; i < cp.size(); i += CharLength(cp, i)) {
        if (CharLength(cp, i) == 2) continue;
        auto c = static_cast<unsigned char>(cp[i]);
        if (c == '.') {
            if (dot != std::string::npos) return false;
            dot = i;
        } else if (!IsLegalByte(c)) {
            return false;
        }
    }
    size_t base = dot == std::string::npos ? cp.size() : dot;
    if (base < 1 || base > 8) return false;
    if (dot == std::string::npos) return true;
    size_t ext = cp.size() - dot - 1;
    return ext >= 1 && ext <= 3;
}

// ASCII letters upper-cased, double-byte characters untouched (their second
// byte may look like a lower-case letter).
std::string UpperAscii(const std::string& cp) {
    std::string out = cp;
    for (size_t i = 0; i < out.size(); i += CharLength(out, i)) {
        if (CharLength(out, i) == 1 && out[i] >= 'a' && out[i] <= 'z') out[i] = char(out[i] - 'a' + 'A');
    }
    return out;
}

// The legal characters of cp[begin, end), upper-cased, at most maxBytes.
// Blanks and dots are dropped, the characters that only long names may hold
// become "_" (so do those code page 932 cannot spell: they arrive as "?").
std::string AliasPart(const std::string& cp, size_t begin, size_t end, size_t maxBytes) {
    std::string out;
    for (size_t i = begin; i < end;) {
        size_t n = std::min(CharLength(cp, i), end - i);
        std::string ch = cp.substr(i, n);
        i += n;
        if (n == 1) {
            auto c = static_cast<unsigned char>(ch[0]);
            if (c == ' ' || c == '.') continue;
            if (!IsLegalByte(c)) ch = "_";
        }
        if (out.size() + ch.size() > maxBytes) break;
        out += ch;
    }
    return UpperAscii(out);
}

// The first bytes of a base, at most maxBytes, without splitting a character.
std::string CutBase(const std::string& base, size_t maxBytes) {
    size_t i = 0;
    while (i < base.size() && i + CharLength(base, i) <= maxBytes) i += CharLength(base, i);
    return base.substr(0, i);
}

}  // namespace

void AssignShortNames(std::vector<DirEntry>& entries) {
    std::vector<std::string> cp(entries.size());
    std::vector<bool> keepsName(entries.size());
    std::unordered_set<std::string> taken;  // upper-cased, code page 932
    std::vector<size_t> order;
    for (size_t i = 0; i < entries.size(); ++i) {
        entries[i].shortName.clear();
        if (entries[i].skipped != Skipped::No) continue;  // never in the image
        std::string utf8;
        DecodeName(entries[i].name, utf8);
        cp[i] = Utf8ToCp932(utf8);
        // A directory identifier cannot hold a dot, so a folder named like
        // "python3.11" gets an alias even though its name has the 8.3 shape.
        keepsName[i] = IsLegal83(cp[i]) && !(entries[i].directory && cp[i].find('.') != std::string::npos);
        if (keepsName[i]) taken.insert(UpperAscii(cp[i]));
        order.push_back(i);
    }
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return entries[a].name < entries[b].name; });

    // Next ~N to try per base and extension, so a folder with many similar
    // names does not test every number from 1 again for each of them.
    std::unordered_map<std::string, unsigned> nextNumber;
    for (size_t i : order) {
        const std::string& name = cp[i];
        if (keepsName[i]) continue;
        size_t start = name.find_first_not_of('.');
        if (start == std::string::npos) start = name.size();
        size_t dot = name.rfind('.');
        if (dot == std::string::npos || dot < start) dot = name.size();
        std::string base = AliasPart(name, start, dot, 6);
        std::string ext = dot < name.size() && !entries[i].directory ? AliasPart(name, dot + 1, name.size(), 3)
                                                                     : std::string();
        if (base.empty()) base = "_";

        std::string key = base + "." + ext;
        unsigned n = nextNumber.count(key) ? nextNumber[key] : 1;
        std::string alias;
        for (;; ++n) {
            std::string tail = "~" + std::to_string(n);
            if (tail.size() >= 8) break;  // ~9999999: no room left for a base
            alias = CutBase(base, 8 - tail.size()) + tail;
            if (!ext.empty()) alias += "." + ext;
            if (!taken.count(alias)) break;
        }
        nextNumber[key] = n + 1;
        taken.insert(alias);
        entries[i].shortName = Cp932ToUtf8(alias);
    }
}

}  // namespace pm
