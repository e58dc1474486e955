// A small UDF image assembled in memory from the udf/ encoders, placed the
// way the layout places a tree: the test bed for the reader and for the
// encoders working together.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "layout/ImageBuilder.h"
#include "settings/VolumeInfo.h"
#include "tree/FileEntry.h"

namespace pm::test {

class UdfHandImage {
public:
    UdfHandImage();
    // Adds a node below `parent` (null: the root); files get `content`.
    CFileEntry* Add(CFileEntry* parent, const std::string& name, bool directory, const std::string& content = {});
    // Places everything and writes the image.
    std::vector<uint8_t> Build(uint32_t clockSeconds = 1);

    CFileEntry m_root;
    ImageLayout m_layout;
    VolumeInfo m_info;
    std::vector<CFileEntry*> m_directories, m_files;
    std::map<const CFileEntry*, std::string> m_content;

private:
    void Collect(CFileEntry& folder);
};

}  // namespace pm::test
