#include "tree/PathUtil.h"

#include "platform/Platform.h"

namespace pm {

std::string GetProgramFolder(Platform& platform) {
    std::string program = platform.ProgramPath();
    size_t slash = program.rfind('/');
    if (slash == std::string::npos) return std::string();
    if (slash == 0) return "/";
    return program.substr(0, slash);
}

int CreateFolderPath(Platform& platform, const std::string& path) {
    if (path.empty()) return 0;
    size_t slash = path.rfind('/');
    // A path in the current folder or directly below "/" has a parent that
    // exists: create it without going further up.
    if (slash == std::string::npos || path.find_first_not_of('/') >= slash)
        return platform.CreateFolder(path) ? 1 : 0;
    std::string parent = path.substr(0, slash);
    while (parent.back() == '/') parent.pop_back();  // "a//b": the parent is "a"
    DirEntry e;
    if (!(platform.LookupEntry(parent, e) && e.directory) && !CreateFolderPath(platform, parent)) return 0;
    return platform.CreateFolder(path) ? 1 : 0;
}

void GroupDigits(std::string& digits) {
    if (digits.size() < 4) return;
    for (size_t p = digits.size() - 3; p > 0; p = p > 3 ? p - 3 : 0) digits.insert(digits.begin() + std::ptrdiff_t(p), ',');
}

}  // namespace pm
