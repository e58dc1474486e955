#include "iso9660/RockRidge.h"

#include <algorithm>
#include <cstring>

#include "disc/OnDisc.h"
#include "iso9660/Fields.h"
#include "tree/Text.h"

namespace pm {

namespace {

// The extension the ER entry names: the identifier, description and source
// readers know it by, byte for byte.
const char kErId[] = "IEEE_P1282";
const char kErDescription[] = "THE IEEE P1282 PROTOCOL PROVIDES SUPPORT FOR POSIX FILE SYSTEM SEMANTICS";
const char kErSource[] = "PLEASE CONTACT THE IEEE STANDARDS DEPARTMENT, PISCATAWAY, NJ, USA FOR THE P1282 SPECIFICATION";

// Entry flags.
constexpr uint8_t kContinue = 0x01;                            // NM, SL and SL components
constexpr uint8_t kSlCurrent = 0x02, kSlParent = 0x04, kSlRoot = 0x08;  // SL components
constexpr uint8_t kTfModify = 0x02, kTfAccess = 0x04, kTfAttributes = 0x08;

// Signature, length and version 1: the four bytes every entry starts with.
size_t Head(uint8_t* d, const char* sig, size_t length) {
    d[0] = uint8_t(sig[0]);
    d[1] = uint8_t(sig[1]);
    d[2] = uint8_t(length);
    d[3] = 1;
    return length;
}

// The longest piece of text an NM entry or an SL component holds.
constexpr size_t kNmText = kMaxSuEntry - 5;
constexpr size_t kSlRoom = kMaxSuEntry - 5;  // components per SL entry, their headers included

}  // namespace

void SystemUse::Add(const uint8_t* d, size_t n) {
    bytes.append(reinterpret_cast<const char*>(d), n);
    ends.push_back(uint32_t(bytes.size()));
}

size_t PutSp(uint8_t* d) {
    d[4] = 0xBE;  // check bytes
    d[5] = 0xEF;
    d[6] = 0;     // bytes skipped at the start of every System Use area
    return Head(d, "SP", 7);
}

size_t PutCe(uint8_t* d, uint32_t sector, uint32_t offset, uint32_t length) {
    PutBoth32(d + 4, sector);
    PutBoth32(d + 12, offset);
    PutBoth32(d + 20, length);
    return Head(d, "CE", kCeLength);
}

size_t PutEr(uint8_t* d) {
    const size_t id = sizeof kErId - 1, des = sizeof kErDescription - 1, src = sizeof kErSource - 1;
    d[4] = uint8_t(id);
    d[5] = uint8_t(des);
    d[6] = uint8_t(src);
    d[7] = 1;  // extension version
    std::memcpy(d + 8, kErId, id);
    std::memcpy(d + 8 + id, kErDescription, des);
    std::memcpy(d + 8 + id + des, kErSource, src);
    return Head(d, "ER", 8 + id + des + src);
}

size_t PutPx(uint8_t* d, const PosixInfo& p) {
    PutBoth32(d + 4, p.mode);
    PutBoth32(d + 12, p.links);
    PutBoth32(d + 20, p.uid);
    PutBoth32(d + 28, p.gid);
    PutBoth32(d + 36, p.serial);
    return Head(d, "PX", 44);
}

size_t PutTf(uint8_t* d, int64_t mtime, int64_t atime, int64_t ctime) {
    d[4] = kTfModify | kTfAccess | kTfAttributes;  // in this order, short form
    WriteDirectoryDate(d + 5, mtime);
    WriteDirectoryDate(d + 12, atime);
    WriteDirectoryDate(d + 19, ctime);
    return Head(d, "TF", 26);
}

size_t PutNm(uint8_t* d, uint8_t flags, const std::string& part) {
    const size_t n = std::min(part.size(), kNmText);
    d[4] = flags;
    std::memcpy(d + 5, part.data(), n);
    return Head(d, "NM", 5 + n);
}

// Components of the target, "/" between them: a leading "/" is the root,
// "." and ".." their flags, other text as stored (empty ones too, so that
// "a//b" and "dir/" come back as they were). A component too long for one
// entry goes on in the next, flagged to continue.
std::vector<std::string> SlEntries(const std::string& target) {
    std::vector<std::string> out;
    std::string cur;  // the components of the entry being filled
    auto close = [&](uint8_t flags) {
        std::string e = {'S', 'L', char(5 + cur.size()), 1, char(flags)};
        out.push_back(e + cur);
        cur.clear();
    };
    for (size_t pos = 0;;) {
        size_t end = std::min(target.find('/', pos), target.size());
        std::string part = target.substr(pos, end - pos);
        uint8_t flags = 0;
        if (pos == 0 && end == 0 && !target.empty()) flags = kSlRoot;
        else if (part == ".") flags = kSlCurrent;
        else if (part == "..") flags = kSlParent;
        if (flags) part.clear();
        size_t done = 0;
        do {
            // A component starts a new entry rather than break where it need not.
            if (!cur.empty() && cur.size() + 2 + std::min(part.size() - done, kSlRoom - 2) > kSlRoom) close(kContinue);
            const size_t take = std::min(part.size() - done, kSlRoom - 2 - cur.size());
            const bool last = done + take == part.size();
            cur += char(flags | (last ? 0 : kContinue));
            cur += char(take);
            cur.append(part, done, take);
            done += take;
        } while (done < part.size());
        if (end == target.size()) break;
        pos = end + 1;
    }
    close(0);
    return out;
}

SystemUse SystemUseOf(const CFileEntry& e, SuRecord which, bool root) {
    SystemUse su;
    uint8_t d[kMaxSuEntry];
    const PosixInfo& p = *e.Posix();
    const bool rootDot = root && which == SuRecord::Dot;
    if (rootDot) su.Add(d, PutSp(d));  // first in the root's "."
    su.Add(d, PutPx(d, p));
    su.Add(d, PutTf(d, e.m_time, p.atime, p.ctime));
    if (which == SuRecord::Child) {
        const std::string& name = e.m_strName;
        for (size_t at = 0; at < name.size() || at == 0; at += kNmText)
            su.Add(d, PutNm(d, at + kNmText < name.size() ? kContinue : 0, name.substr(at, kNmText)));
        if (e.IsSymlink())
            for (const std::string& sl : SlEntries(LinkTargetText(p.linkTarget))) su.Add(reinterpret_cast<const uint8_t*>(sl.data()), sl.size());
    }
    if (rootDot) su.Add(d, PutEr(d));
    return su;
}

size_t PlaceSystemUse(const SystemUse& su, size_t room, uint8_t* record, ContinuationRun& run) {
    const size_t n = su.ends.size();
    auto from = [&](size_t i) -> size_t { return i ? su.ends[i - 1] : 0; };
    // How many entries from the i-th on fit in `cap` bytes, leaving room for
    // a CE when some remain.
    auto fit = [&](size_t i, size_t cap) {
        if (su.bytes.size() - from(i) <= cap) return n;
        size_t j = i;
        while (j < n && su.ends[j] - from(i) + kCeLength <= cap) ++j;
        return j;
    };
    size_t i = 0, j = fit(0, room);
    if (j < n && room < kCeLength) return 0;
    uint8_t* area = record;
    size_t inRecord = 0;
    for (bool first = true;; first = false) {
        const size_t len = su.ends.empty() || j == i ? 0 : su.ends[j - 1] - from(i);
        if (area) std::memcpy(area, su.bytes.data() + from(i), len);
        size_t k = n;
        uint8_t* next = nullptr;
        if (j < n) {
            // The next area: here in the run's sector when its first entry
            // fits, else from the next sector's start.
            uint32_t offset = run.used % SectorSize;
            k = fit(j, SectorSize - offset);
            if (k == j) {
                run.used += SectorSize - offset;
                offset = 0;
                k = fit(j, SectorSize);
            }
            const size_t nextLen = su.ends[k - 1] - from(j) + (k < n ? kCeLength : 0);
            if (area) PutCe(area + len, run.sector + run.used / SectorSize, offset, uint32_t(nextLen));
            if (run.buf) next = run.buf + run.used;
            run.used += uint32_t(nextLen);
        }
        if (first) inRecord = len + (j < n ? kCeLength : 0);
        if (j == n) break;
        i = j, j = k, area = next;
    }
    return (inRecord + 1) & ~size_t(1);
}

}  // namespace pm
