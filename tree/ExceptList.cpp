#include "tree/ExceptList.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>


#include "tree/Text.h"

namespace pm {

SmallFileStatus ExceptList::Load(const std::string& filePath, int* cause) {
    m_entries.clear();
    std::string bytes;
    int why = kCauseNone;
    SmallFileStatus status = ReadSmallFile(filePath, bytes, why);
    if (cause) *cause = why;
    if (status != SmallFileStatus::Ok) return status;
    std::string text = DecodeTextFile(bytes);
    // An editor's byte order mark is not part of the first name.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);

    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        m_entries.push_back(std::move(line));
        start = end + 1;
    }
    return status;
}

namespace {

// Equal when both end together and every pair of code points is the same
// after upper-casing: ASCII and full-width Latin letters compare without case.
bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    auto pa = reinterpret_cast<const uint8_t*>(a.data());
    auto pb = reinterpret_cast<const uint8_t*>(b.data());
    int32_t ia = 0, ib = 0, na = int32_t(a.size()), nb = int32_t(b.size());
    while (ia < na && ib < nb) {
        UChar32 ca, cb;
        U8_NEXT_OR_FFFD(pa, ia, na, ca);
        U8_NEXT_OR_FFFD(pb, ib, nb, cb);
        if (ca != cb && u_toupper(ca) != u_toupper(cb)) return false;
    }
    return ia == na && ib == nb;
}

}  // namespace

bool ExceptList::IsIncluded(const std::string& name) const {
    for (const std::string& entry : m_entries)
        if (EqualsIgnoringCase(name, entry)) return false;
    return true;
}

}  // namespace pm
