// The names (and sizes) the chosen file systems cannot hold, reported before
// any file is opened. At most one report per build: a later check runs only
// when the earlier ones found nothing.
#include <functional>

#include "job/JobMessages.h"
#include "layout/ImageBuilder.h"
#include "layout/NameMap.h"
#include "tree/PathUtil.h"
#include "udf/FileEntries.h"

namespace pm {

namespace {

constexpr uint64_t kFourGiB = 1ull << 32;

// Lists every folder, then every file, that fails `fits`; reports the list with
// message `id` when it is not empty.
int Report(const std::vector<CFileEntry*>& dirs, const std::vector<CFileEntry*>& files, int id,
           const std::function<bool(const CFileEntry&)>& fits) {
    std::vector<std::string> names;
    for (const CFileEntry* d : dirs)
        if (!fits(*d)) names.push_back(d->m_strName);
    for (const CFileEntry* f : files)
        if (!fits(*f)) names.push_back(f->m_strName);
    if (!names.empty()) TheJobMessages().AddNameList(id, names);
    return int(names.size());
}

}  // namespace

int ImageBuilder::CheckNames() {
    int count = 0;
    if (m_bIso)
        count = Report(m_directories, m_files, 10076, IsoNameFits);
    if (m_bJoliet && count == 0)
        count = Report(m_directories, m_files, 10070, JolietNameFits);
    if (m_bUdf && count == 0)
        count = Report(m_directories, m_files, 10072, UdfNameFits);
    // ISO 9660 and Joliet records hold a 32-bit length: a larger file would be
    // described with a wrong size, so it is refused rather than corrupted.
    if (m_bIso && count == 0)
        count = Report({}, m_files, 10078, [](const CFileEntry& e) { return e.m_nIsoSize < kFourGiB; });
    // Path tables number folders with 16 bits: more would give wrong parents.
    if (m_bIso && count == 0 && m_directories.size() > 65535) {
        std::string n = std::to_string(m_directories.size());
        GroupDigits(n);
        TheJobMessages().AddFormatted(10081, n);
        count = 1;
    }
    // One UDF file entry holds at most 217 allocation descriptors.
    if (m_bUdf && count == 0)
        count = Report({}, m_files, 10079, [](const CFileEntry& e) { return e.m_nUdfSize <= kMaxUdfFileSize; });
    return count;
}

}  // namespace pm
