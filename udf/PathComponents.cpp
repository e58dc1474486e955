#include "udf/PathComponents.h"

#include <algorithm>

#include "tree/Text.h"

namespace pm {
namespace {

enum ComponentType : uint8_t { kRoot = 1, kParent = 3, kCurrent = 4, kName = 5 };

void Put(std::string& out, ComponentType type, const std::string& id) {
    out += char(type);
    out += char(uint8_t(id.size()));  // length of the identifier
    out.append(2, '\0');               // file version number
    out += id;
}

// CS0 of one byte a character where every character fits in one, as Linux
// writes it; big-endian UTF-16 otherwise.
bool NameIdentifier(const std::string& raw, std::string& id) {
    std::string utf8;
    if (!DecodeName(raw, utf8)) return false;
    const std::u16string units = Utf8ToUtf16(utf8);
    const bool narrow = std::all_of(units.begin(), units.end(), [](char16_t c) { return c <= 0xFF; });
    id.assign(1, char(narrow ? 8 : 16));
    for (char16_t c : units) {
        if (!narrow) id += char(c >> 8);
        id += char(c & 0xFF);
    }
    return id.size() <= 255;
}

}  // namespace

bool EncodePathComponents(const std::string& target, std::string& out) {
    out.clear();
    // The root the reader's own system has: an absolute target means that
    // one, not the image's.
    if (!target.empty() && target[0] == '/') Put(out, kRoot, {});
    for (size_t pos = 0; pos <= target.size();) {
        size_t end = std::min(target.find('/', pos), target.size());
        const std::string part = target.substr(pos, end - pos);
        pos = end + 1;
        std::string id;
        if (part.empty()) continue;
        if (part == ".") Put(out, kCurrent, {});
        else if (part == "..") Put(out, kParent, {});
        else if (!NameIdentifier(part, id)) return false;
        else Put(out, kName, id);
    }
    return true;
}

bool LinkTargetFits(const std::string& target) {
    std::string data;
    return EncodePathComponents(target, data) && data.size() <= kMaxEmbeddedBytes;
}

}  // namespace pm
