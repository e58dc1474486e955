// ISO 9660 and Joliet directory records, directory extents and path tables.
// Both hierarchies describe the same CFileEntry tree; the ISO 9660 side uses
// m_strShortName, m_dwIsoSector and m_nIsoSize, the Joliet side the Joliet
// identifier, m_dwJolietSector and m_nJolietSize.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tree/FileEntry.h"

namespace pm {

// The name bytes a node contributes to records and path tables (without the
// ";1" of files). Cut, as a guard, so that no record can exceed 255 bytes:
// names that long never pass the name checks, but the encoders stay inside
// their buffers and consistent with the record lengths whatever they get.
struct NameBytes {
    std::string bytes;
    const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(bytes.data()); }
    size_t size() const { return bytes.size(); }
};
NameBytes IsoName(const CFileEntry& e);
NameBytes JolietName(const CFileEntry& e);
// Their lengths, without making them.
size_t IsoNameSize(const CFileEntry& e);
// A Joliet file identifier ends in ";1" only while the name leaves room for
// it within 128 bytes (62 units at most).
bool JolietHasVersion(const CFileEntry& e);
size_t JolietNameSize(const CFileEntry& e);

// A file's data stays one contiguous extent; records describe it in sections
// of at most this many bytes (the largest whole-sector 32-bit length): a
// file of 4 GiB or more gets several records of one name, all but the last
// flagged multi-extent. Smaller files and folders have one record.
constexpr uint64_t kMaxSectionBytes = 0xFFFFF800;
uint32_t SectionCount(uint64_t size, bool directory);

// Record length (the same for every section of a file): 33 + identifier length, plus one padding byte when that
// length is even; Rock Ridge entries come on top, which only the directory
// writers below and their measures know.
uint8_t IsoRecordLength(const CFileEntry& e);
uint8_t JolietRecordLength(const CFileEntry& e);

// Bytes 0-32 of the node's record (length and identifier length included).
void FillIsoRecordHeader(const CFileEntry& e, uint8_t* d33);
void FillJolietRecordHeader(const CFileEntry& e, uint8_t* d33);

// Bytes 0-7 of the node's path table entry, numbers little-endian (L) or
// big-endian (M). Byte 0 holds the name length, also for the root.
void FillIsoPathEntryL(const CFileEntry& e, uint8_t* d8);
void FillIsoPathEntryM(const CFileEntry& e, uint8_t* d8);
void FillJolietPathEntryL(const CFileEntry& e, uint8_t* d8);
void FillJolietPathEntryM(const CFileEntry& e, uint8_t* d8);

// The whole directory extent of a folder ("." , "..", then the children in
// m_children order, no record crossing a sector end) into a zero-filled
// buffer. Returns the bytes used; 0 for a file. When the tree keeps Linux
// attributes, each ISO 9660 record carries Rock Ridge entries, and those
// that do not fit go on in the folder's continuation areas, which start at
// its PosixInfo::continuationSector.
uint32_t WriteIsoDirectory(const CFileEntry& e, uint8_t* buf, uint32_t sectorSize);
// The folder's continuation areas into a zero-filled buffer; their bytes.
uint32_t WriteIsoContinuations(const CFileEntry& e, uint8_t* buf);
// The bytes those would use, which the layout sizes the extents by.
uint32_t IsoDirectoryBytes(const CFileEntry& e);
uint32_t IsoContinuationBytes(const CFileEntry& e);
uint32_t JolietDirectoryBytes(const CFileEntry& e);
// The Joliet tree cannot hold a symbolic link: it shows the file a link
// leads to, and leaves out a link that leads to none.
bool InJolietTree(const CFileEntry& e);
uint32_t WriteJolietDirectory(const CFileEntry& e, uint8_t* buf, uint32_t sectorSize);

// The whole path table of the folders in path-table order (the root first)
// into a zero-filled buffer. Returns its length in bytes.
uint32_t WriteIsoPathTableL(const std::vector<CFileEntry*>& dirs, uint8_t* buf);
uint32_t WriteIsoPathTableM(const std::vector<CFileEntry*>& dirs, uint8_t* buf);
uint32_t WriteJolietPathTableL(const std::vector<CFileEntry*>& dirs, uint8_t* buf);
uint32_t WriteJolietPathTableM(const std::vector<CFileEntry*>& dirs, uint8_t* buf);

}  // namespace pm
