// libFuzzer target for the image readers. An input is a sparse image, so
// that a few kilobytes reach the UDF structures past sector 256:
//   u32 total sectors, u16 count k, k x u32 sector numbers, then the sectors'
//   bytes in that order (a short tail is padded with zeros);
// every other sector reads as zeros. make_seeds.py turns images into this form.
#include <cstring>
#include <map>

#include "reader/IsoReader.h"
#include "reader/UdfReader.h"

namespace {

class SparseSource : public pm::ImageSource {
public:
    SparseSource(const uint8_t* p, size_t n) {
        if (n < 6) return;
        uint32_t total, k = p[4] | (p[5] << 8);
        std::memcpy(&total, p, 4);
        m_size = uint64_t(total % (1u << 15)) * 2048;  // up to 64 MiB of virtual image
        size_t at = 6, data = 6 + 4 * size_t(k);
        for (uint32_t i = 0; i < k && at + 4 <= n; ++i, at += 4) {
            uint32_t s;
            std::memcpy(&s, p + at, 4);
            size_t from = data + 2048 * size_t(i);
            if (from < n) m_sectors[s] = {p + from, std::min<size_t>(2048, n - from)};
        }
    }
    uint64_t Size() const override { return m_size; }
    bool ReadAt(uint64_t offset, void* out, size_t length) const override {
        if (!Holds(offset, length)) return false;
        if (length == 0) return true;
        auto* o = static_cast<uint8_t*>(out);
        std::memset(o, 0, length);
        for (auto it = m_sectors.lower_bound(uint32_t(offset / 2048)); it != m_sectors.end() && uint64_t(it->first) * 2048 < offset + length; ++it) {
            uint64_t begin = uint64_t(it->first) * 2048, end = begin + it->second.second;
            uint64_t from = std::max(begin, offset), to = std::min(end, offset + length);
            if (from < to) std::memcpy(o + (from - offset), it->second.first + (from - begin), to - from);
        }
        return true;
    }

private:
    uint64_t m_size = 0;
    std::map<uint32_t, std::pair<const uint8_t*, size_t>> m_sectors;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SparseSource source(data, size);
    pm::IsoReader iso(source);
    for (const auto* tree : {&iso.IsoTree(), &iso.JolietTree()})
        for (const pm::IsoTreeEntry& e : *tree)
            if (!e.isDir && e.size <= 65536) iso.ReadFile(e);
    pm::UdfReader udf(source);
    udf.Read();
    for (const pm::UdfNode& n : udf.Nodes())
        if (!n.isDir && n.size <= 65536) udf.ReadFile(n.path);
    return 0;
}
