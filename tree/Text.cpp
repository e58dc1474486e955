#include "tree/Text.h"

#include <unicode/ucnv.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

namespace pm {

namespace {

// One code page 932 converter per thread: a size preview and a build may run
// on different threads, and ICU converters are not shared safely.
UConverter* Cp932() {
    struct Holder {
        UConverter* cnv = nullptr;
        Holder() {
            UErrorCode st = U_ZERO_ERROR;
            cnv = ucnv_open("windows-31j", &st);
            if (U_SUCCESS(st)) {
                st = U_ZERO_ERROR;
                ucnv_setSubstChars(cnv, "?", 1, &st);
            }
        }
        ~Holder() { if (cnv) ucnv_close(cnv); }
    };
    thread_local Holder h;
    return h.cnv;
}

UCollator* Collator() {
    struct Holder {
        UCollator* col = nullptr;
        Holder() {
            UErrorCode st = U_ZERO_ERROR;
            col = ucol_open("ja", &st);
            if (U_SUCCESS(st)) ucol_setStrength(col, UCOL_TERTIARY);
            else col = nullptr;
        }
        ~Holder() { if (col) ucol_close(col); }
    };
    thread_local Holder h;
    return h.col;
}

// Printable ASCII is the same byte in code page 932 and in UTF-8, so names
// made of it skip the converter (most names are; a 100,000-file scan spent a
// fifth of its time converting them). Controls are not: the converter swaps
// 0x1A, 0x1C and 0x7F.
bool IsPrintableAscii(const std::string& s) {
    for (unsigned char c : s)
        if (c < 0x20 || c > 0x7E) return false;
    return true;
}

}  // namespace

bool IsValidUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    int32_t i = 0, n = int32_t(s.size());
    while (i < n) {
        UChar32 c;
        U8_NEXT(p, i, n, c);
        if (c < 0) return false;
    }
    return true;
}

std::string SanitizeUtf8(const std::string& s) {
    if (IsValidUtf8(s)) return s;
    return Utf16ToUtf8(Utf8ToUtf16(s));
}

std::u16string Utf8ToUtf16(const std::string& s) {
    if (s.empty()) return {};
    if (IsPrintableAscii(s)) return std::u16string(s.begin(), s.end());
    std::u16string out(s.size() + 1, u'\0');
    int32_t len = 0;
    UErrorCode st = U_ZERO_ERROR;
    u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()), &len, s.data(),
                         int32_t(s.size()), 0xFFFD, nullptr, &st);
    if (U_FAILURE(st)) return {};
    out.resize(len);
    return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
    if (s.empty()) return {};
    std::string out(s.size() * 3 + 1, '\0');
    int32_t len = 0;
    UErrorCode st = U_ZERO_ERROR;
    u_strToUTF8WithSub(out.data(), int32_t(out.size()), &len, reinterpret_cast<const UChar*>(s.data()),
                       int32_t(s.size()), 0xFFFD, nullptr, &st);
    if (U_FAILURE(st)) return {};
    out.resize(len);
    return out;
}

std::string Utf8ToCp932(const std::string& s) {
    if (s.empty() || IsPrintableAscii(s)) return s;
    std::u16string u = Utf8ToUtf16(s);
    UConverter* cnv = Cp932();
    if (!cnv) return s;
    ucnv_reset(cnv);
    std::string out(u.size() * 2 + 2, '\0');
    UErrorCode st = U_ZERO_ERROR;
    int32_t len = ucnv_fromUChars(cnv, out.data(), int32_t(out.size()), reinterpret_cast<const UChar*>(u.data()),
                                  int32_t(u.size()), &st);
    if (U_FAILURE(st)) return {};
    out.resize(len);
    return out;
}

std::string Cp932ToUtf8(const std::string& s) {
    if (s.empty() || IsPrintableAscii(s)) return s;
    UConverter* cnv = Cp932();
    if (!cnv) return SanitizeUtf8(s);
    ucnv_reset(cnv);
    std::u16string u(s.size() + 1, u'\0');
    UErrorCode st = U_ZERO_ERROR;
    int32_t len = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(u.data()), int32_t(u.size()), s.data(),
                                int32_t(s.size()), &st);
    if (U_FAILURE(st)) return {};
    u.resize(len);
    return Utf16ToUtf8(u);
}

bool DecodeName(const std::string& raw, std::string& utf8) {
    if (IsValidUtf8(raw)) {
        utf8 = raw;
        return true;
    }
    // Names from Japanese Windows archives arrive as code page 932 bytes; a
    // substitution would put a name into the image that is not the file's.
    struct Holder {
        UConverter* cnv = nullptr;
        Holder() {
            UErrorCode st = U_ZERO_ERROR;
            cnv = ucnv_open("windows-31j", &st);
            if (U_SUCCESS(st)) ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &st);
            if (U_FAILURE(st) && cnv) {
                ucnv_close(cnv);
                cnv = nullptr;
            }
        }
        ~Holder() { if (cnv) ucnv_close(cnv); }
    };
    thread_local Holder strict;
    if (strict.cnv) {
        ucnv_reset(strict.cnv);
        std::u16string u(raw.size() + 1, u'\0');
        UErrorCode st = U_ZERO_ERROR;
        int32_t len = ucnv_toUChars(strict.cnv, reinterpret_cast<UChar*>(u.data()), int32_t(u.size()), raw.data(),
                                    int32_t(raw.size()), &st);
        if (U_SUCCESS(st)) {
            u.resize(len);
            utf8 = Utf16ToUtf8(u);
            return true;
        }
    }
    utf8 = SanitizeUtf8(raw);
    return false;
}

std::string EscapeInvalidUtf8(const std::string& s) {
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    int32_t i = 0, n = int32_t(s.size());
    std::string out;
    while (i < n) {
        int32_t start = i;
        UChar32 c;
        U8_NEXT(p, i, n, c);
        if (c >= 0) {
            out.append(s, size_t(start), size_t(i - start));
            continue;
        }
        for (int32_t k = start; k < i; ++k) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(p[k]));
            out += hex;
        }
    }
    return out;
}

std::string DecodeTextFile(const std::string& bytes) {
    if (IsValidUtf8(bytes)) {
        // A UTF-8 byte order mark is not part of the text.
        if (bytes.size() >= 3 && std::memcmp(bytes.data(), "\xEF\xBB\xBF", 3) == 0) return bytes.substr(3);
        return bytes;
    }
    return Cp932ToUtf8(bytes);
}

std::string CollationKey(const std::string& s) {
    std::string key;
    if (UCollator* col = Collator()) {
        std::u16string u = Utf8ToUtf16(s);
        const auto* src = reinterpret_cast<const UChar*>(u.data());
        std::vector<uint8_t> buf(u.size() * 4 + 16);
        int32_t n = ucol_getSortKey(col, src, int32_t(u.size()), buf.data(), int32_t(buf.size()));
        if (n > int32_t(buf.size())) {
            buf.resize(n);
            n = ucol_getSortKey(col, src, int32_t(u.size()), buf.data(), int32_t(buf.size()));
        }
        // The key ends with a 0 byte, so a shorter key never compares above a
        // longer one that continues it; the raw bytes break remaining ties.
        key.assign(reinterpret_cast<const char*>(buf.data()), n > 0 ? n : 0);
    }
    key.push_back('\0');
    key += s;
    key.push_back('\0');  // keeps keys prefix-free, so they can be chained
    return key;
}

// Compared in place rather than through two keys: sorting a folder's
// entries this way skips the identical beginnings that names in one folder
// tend to share, and makes no key at all.
int CollatePaths(const std::string& a, const std::string& b) {
    if (UCollator* col = Collator()) {
        UErrorCode st = U_ZERO_ERROR;
        UCollationResult r = ucol_strcollUTF8(col, a.data(), int32_t(a.size()), b.data(), int32_t(b.size()), &st);
        if (U_SUCCESS(st) && r != UCOL_EQUAL) return r == UCOL_LESS ? -1 : 1;
    }
    int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::string FoldCase(const std::string& s) {
    // Most names are ASCII, and a tree of them is folded after every build.
    if (std::all_of(s.begin(), s.end(), [](char c) { return (unsigned char)c < 0x80; })) {
        std::string out = s;
        for (char& c : out)
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return out;
    }
    const std::u16string in = Utf8ToUtf16(s);
    std::u16string out(in.size() * 3 + 1, u'\0');  // full folding at most triples a unit
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = u_strFoldCase(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()),
                                    reinterpret_cast<const UChar*>(in.data()), int32_t(in.size()), U_FOLD_CASE_DEFAULT, &err);
    if (U_FAILURE(err)) return s;
    out.resize(size_t(n));
    return Utf16ToUtf8(out);
}

std::string EscapeControls(const std::string& s) {
    const std::string shown = EscapeInvalidUtf8(s);
    if (std::none_of(shown.begin(), shown.end(), [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; })) return shown;
    std::string out;
    for (char c : shown) {
        const unsigned char u = (unsigned char)c;
        if (u >= 0x20 && u != 0x7F) out += c;
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        }
    }
    return out;
}

std::string LinkTargetText(const std::string& raw) {
    std::string utf8;
    return DecodeName(raw, utf8) ? utf8 : raw;  // "/" is never part of a code page 932 character
}

}  // namespace pm
