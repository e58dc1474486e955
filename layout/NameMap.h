// The names each entry takes into the image, and why a name does not fit:
// the checks of CheckNames, entry by entry.
#pragma once

#include <string>
#include <vector>

#include "layout/ImageBuilder.h"

namespace pm {

bool IsoNameFits(const CFileEntry& e);     // 8.3 name: folders 8 bytes, files 12
bool JolietNameFits(const CFileEntry& e);  // 64 UTF-16 units
bool UdfNameFits(const CFileEntry& e);     // 127 UTF-16 units (255 bytes of CS0)
bool JolietCharactersFit(const CFileEntry& e);  // no control characters, * : ? \, no ; in folder names

// Two entries of one folder whose names differ only in letter case
// (`xt_MARK.h`, `xt_mark.h`): the image holds both, but readers that look
// names up without regard to case (Windows for Joliet and UDF, the Linux
// kernel's Joliet by default) open one file under both names.
struct CaseTwin {
    const CFileEntry* first;  // the first of the folder's entries with that folded name
    const CFileEntry* other;  // a later one
};
// Every such pair, folder by folder in entry order; empty when there is none.
std::vector<CaseTwin> CaseTwins(const ImageBuilder& b);

struct NameRow {
    std::string path;    // relative to the source, UTF-8; "." for the source folder
    std::string iso;     // as the record holds it (";1" after a file's), UTF-8; empty when the kind has no ISO 9660
    std::string joliet;  // empty when the kind has no Joliet
    std::string udf;     // empty when the kind has no UDF
    bool hidden = false;
    std::string reason;  // why a name does not fit, and what readers make of it; empty when all is well
    bool fits = true;    // every name fits (a name with a case twin fits: the image holds both)
    // The ISO 9660 tree keeps Linux attributes: its Rock Ridge name, which
    // readers that know Rock Ridge show; empty where it is the ISO 9660 one.
    std::string rockRidge;
};

// Every folder (m_directories, the source folder first), then every file
// (m_files), in entry order, with the names of the file systems the builder's
// kind holds. A name with a case twin says so in `reason`.
std::vector<NameRow> NameMap(const ImageBuilder& b);

}  // namespace pm
