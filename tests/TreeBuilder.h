// Builds source trees by hand for layout and encoder tests, through the same
// node filling the scan uses.
#pragma once

#include <string>

#include "tree/FileEntry.h"

namespace pm::test {

// Makes `root` a folder node named `name` at path "/src/<name>".
inline void MakeRoot(CFileEntry& root, const std::string& name = "src") {
    DirEntry e;
    e.name = name;
    e.directory = true;
    root.FillFrom(e, "/src/" + name, nullptr);
}

// Appends a child; `shortName` empty means "the name itself" for ISO 9660.
inline CFileEntry* Add(CFileEntry& parent, const std::string& name, bool directory, uint64_t size = 0,
                       const std::string& shortName = std::string(), int64_t mtime = 1275317998) {
    const DirEntry e{.name = name, .shortName = shortName, .size = size, .mtime = mtime,
                     .hidden = !name.empty() && name[0] == '.', .directory = directory};
    CFileEntry* node = parent.AddChild(e, std::string());
    SortEntries(parent.m_children);
    return node;
}

inline CFileEntry* AddFile(CFileEntry& parent, const std::string& name, uint64_t size = 0,
                           const std::string& shortName = std::string()) {
    return Add(parent, name, false, size, shortName);
}

inline CFileEntry* AddFolder(CFileEntry& parent, const std::string& name, const std::string& shortName = std::string()) {
    return Add(parent, name, true, 0, shortName);
}

}  // namespace pm::test
