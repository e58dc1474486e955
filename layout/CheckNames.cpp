// What the chosen file systems cannot hold, reported before any file is
// opened: what the scan could not read, names that cannot be spelt or that
// would come out twice, names and sizes beyond the records' limits. The
// length checks give at most one report, as a later one runs only when the
// earlier ones found nothing.
#include <functional>
#include <string_view>
#include <unordered_map>

#include "messages/JobMessages.h"
#include "messages/Strings.h"
#include "layout/ImageBuilder.h"
#include "layout/NameMap.h"
#include "tree/PathUtil.h"
#include "tree/Text.h"
#include "udf/FileEntries.h"
#include "udf/PathComponents.h"

namespace pm {

namespace {

// Lists every folder, then every file, that fails `fits`; reports the list with
// message `id` when it is not empty. Names alone, or paths where the name
// does not tell which entry is meant.
int Report(JobMessages& queue, const std::vector<CFileEntry*>& dirs, const std::vector<CFileEntry*>& files, int id,
           const std::function<bool(const CFileEntry&)>& fits, bool paths = false) {
    std::vector<std::string> names;
    for (const auto* list : {&dirs, &files})
        for (const CFileEntry* e : *list)
            if (!fits(*e)) names.push_back(paths ? EscapeInvalidUtf8(e->Path()) : e->m_strName);
    if (!names.empty()) queue.AddNameList(id, names);
    return int(names.size());
}

// The Joliet name as readers compare it: they drop trailing dots and blanks,
// so "a" and "a." would be one file on extraction. Both identifiers are the
// name's UTF-16 form, so its UTF-8 bytes compare alike.
std::string_view JolietKey(const CFileEntry& e) {
    std::string_view name = e.m_strName;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    return name;
}

std::string_view UdfKey(const CFileEntry& e) { return e.m_strName; }

// Entries of one folder whose names come out the same: both paths listed.
int ReportCollisions(JobMessages& queue, const std::vector<CFileEntry*>& dirs, bool joliet, bool udf) {
    std::vector<std::string> paths;
    std::unordered_map<std::string_view, const CFileEntry*> seen;
    auto check = [&](const CFileEntry& d, std::string_view (*key)(const CFileEntry&)) {
        seen.clear();
        for (const auto& c : d.m_children) {
            auto [it, fresh] = seen.emplace(key(*c), c.get());
            if (fresh) continue;
            paths.push_back(EscapeInvalidUtf8(it->second->Path()));
            paths.push_back(EscapeInvalidUtf8(c->Path()));
        }
    };
    for (const CFileEntry* d : dirs) {
        const size_t before = paths.size();
        if (joliet) check(*d, JolietKey);
        // The same pair must not be listed twice when both names collide.
        if (udf && paths.size() == before) check(*d, UdfKey);
    }
    if (!paths.empty()) queue.AddNameList(kMsgSameNames, paths);
    return int(paths.size());
}

}  // namespace

int ImageBuilder::ReportUnreadable() {
    int count = 0;
    for (const FileError& err : m_scanReport.unreadable) {
        FileError shown{err.cause, EscapeInvalidUtf8(err.path)};
        m_messages.AddFileError(kMsgCannotOpenFile, shown);
        ++count;
    }
    return count;
}

int ImageBuilder::CheckNames() {
    const bool iso = HasIsoTrees(Kind()), udf = HasUdf(Kind());
    // Folders that could not be listed and files that cannot be read would be
    // missing from the image, or found missing only after the old image was
    // truncated.
    int count = ReportUnreadable();
    // A name that is neither UTF-8 nor code page 932 has no true Joliet or
    // UDF form; a stand-in would be a name the user never gave.
    count += Report(m_messages, m_directories, m_files, kMsgUndecodableNames, [](const CFileEntry& e) { return !e.m_bUndecodable; }, true);
    if (iso && count == 0) count = Report(m_messages, m_directories, m_files, kMsgJolietForbiddenCharacters, JolietCharactersFit, true);

    if (iso && count == 0) count = Report(m_messages, m_directories, m_files, kMsgNo83Names, IsoNameFits);
    if (iso && count == 0) count = Report(m_messages, m_directories, m_files, kMsgJolietNamesTooLong, JolietNameFits);
    if (udf && count == 0) count = Report(m_messages, m_directories, m_files, kMsgUdfNamesTooLong, UdfNameFits);
    // Two entries of one name: readers would show one and lose the other.
    if (count == 0) count = ReportCollisions(m_messages, m_directories, iso, udf);

    // Path tables number folders with 16 bits: more would give wrong parents.
    if (iso && count == 0 && m_directories.size() > 65535) {
        std::string n = std::to_string(m_directories.size());
        GroupDigits(n);
        m_messages.AddFormatted(kMsgTooManyFolders, n);
        count = 1;
    }
    if (udf && count == 0) {
        // A UDF file entry counts its links in 16 bits: itself and one per subfolder.
        for (const CFileEntry* d : m_directories) {
            size_t subfolders = 0;
            for (const auto& c : d->m_children) subfolders += c->m_bDirectory;
            if (subfolders < 65535) continue;
            std::string n = std::to_string(subfolders);
            GroupDigits(n);
            m_messages.AddFormatted(kMsgTooManySubfolders, EscapeInvalidUtf8(d->Path()), n);
            ++count;
        }
    }
    // One UDF file entry holds at most 217 allocation descriptors.
    if (udf && count == 0)
        count = Report(m_messages, {}, m_files, kMsgTooLargeForUdf, [](const CFileEntry& e) { return e.m_nUdfSize <= kMaxUdfFileSize; });
    // A symbolic link's target lives in its file entry, which has room for 1,740 bytes.
    if (udf && count == 0 && m_root.Posix())
        count = Report(m_messages, {}, m_files, kMsgUdfLinkTargets,
                       [](const CFileEntry& e) { return !e.IsSymlink() || LinkTargetFits(e.Posix()->linkTarget); }, true);
    // Sector numbers are 32 bits everywhere in the image.
    if (count == 0 && m_nTotalSectors > 0xFFFFFFFFull) {
        std::string n = std::to_string(m_nTotalSectors);
        GroupDigits(n);
        m_messages.AddFormatted(kMsgImageTooLarge, n);
        count = 1;
    }
    return count;
}

}  // namespace pm
