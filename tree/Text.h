// Text model: std::string holds UTF-8 everywhere; code page 932 bytes exist
// only where the image stores or counts multibyte text. ICU does the work.
#pragma once

#include <string>

namespace pm {

bool IsValidUtf8(const std::string& s);
// Invalid sequences become U+FFFD.
std::string SanitizeUtf8(const std::string& s);
// UTF-8 -> UTF-16 host order; invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);
// UTF-8 -> code page 932 (Microsoft's table); "?" for what it cannot spell.
std::string Utf8ToCp932(const std::string& s);
// Code page 932 -> UTF-8.
std::string Cp932ToUtf8(const std::string& s);
// A name as listed -> UTF-8: itself when valid UTF-8, otherwise its code
// page 932 reading. False when it is neither (utf8 then holds a display form
// with U+FFFD, which must never reach an image).
bool DecodeName(const std::string& raw, std::string& utf8);
// A symbolic link's target as an image records it: read as names are (so
// that a link to a code page 932 name leads to that name as the image holds
// it), and kept as stored when it is neither UTF-8 nor code page 932.
std::string LinkTargetText(const std::string& raw);
// For messages: bytes that are not UTF-8 shown as \xFF.
std::string EscapeInvalidUtf8(const std::string& s);
// For lines of text that a script splits: as EscapeInvalidUtf8, and control
// characters as \t, \n, \r or \x01.
std::string EscapeControls(const std::string& s);
// A file read from disk: UTF-8 when valid, otherwise taken as code page 932.
std::string DecodeTextFile(const std::string& bytes);

// Unicode full case folding of UTF-8 text: names that differ only in letter
// case ("README", "readme", "Straße", "STRASSE") fold alike.
std::string FoldCase(const std::string& s);

// Entry order collation (Japanese, tertiary strength) of two UTF-8 strings:
// negative, zero or positive. Equal collation falls back to a byte compare, so
// the result is 0 only for identical strings.
int CollatePaths(const std::string& a, const std::string& b);
// Sort key with the same order as CollatePaths (keys compare with memcmp /
// std::string <; the bytes of the string are appended as the final tie-break).
// No key is a prefix of another, so keys of path components can be chained.
std::string CollationKey(const std::string& s);

}  // namespace pm
