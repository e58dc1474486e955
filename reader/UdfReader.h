// A strict UDF reader: it checks an image the way a strict reader would
// (tags, CRCs, locations, the two descriptor sequences, the integrity counts,
// file entries and identifiers, and every fixed field other readers act on:
// partition numbers and references, ICB strategy and flags, record format,
// extent types, identifier characteristics) and hands back the tree it found and where
// the bytes of its files lie, with the Linux attributes an entry records. It reads through an ImageSource and trusts no
// field: places and lengths are checked before use, the walk is iterative and
// visits each entry once, and what it holds in memory is bounded.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "reader/ImageSource.h"

namespace pm {

// A run of bytes inside the partition.
struct UdfExtent {
    uint32_t block = 0;   // partition-relative
    uint32_t length = 0;  // bytes
};

// A run of bytes in the image file.
struct ImageRun {
    uint64_t offset = 0, length = 0;
};

struct UdfNode {
    std::string path;        // "/" for the root, "/a/b" below it (UTF-8)
    std::string identifier;  // the identifier's bytes as recorded (CS0); empty for the root
    int parent = -1;         // index into Nodes(); -1 for the root
    bool isDir = false;
    bool hidden = false;
    uint64_t size = 0;       // information length
    std::vector<UdfExtent> extents;  // where the data lies
    uint32_t entryBlock = 0;
    uint64_t uniqueId = 0;
    uint16_t linkCount = 0;
    uint8_t modified[12] = {};  // modification time as recorded
    uint8_t attributesChanged[12] = {};
    uint8_t fileType = 0;       // 4 folder, 5 file, 12 symbolic link
    uint16_t icbFlags = 0;
    uint32_t uid = 0, gid = 0, permissions = 0;
    uint32_t embeddedAt = 0;    // the data lies in the entry's block from this byte; 0: in `extents`
    std::string linkTarget;     // a symbolic link's target, its components read back into a path (UTF-8)
};

// What the volume descriptors say.
struct UdfFacts {
    uint32_t mainVds = 0, reserveVds = 0;
    uint32_t partitionStart = 0, partitionLength = 0;
    uint32_t integrityFiles = 0, integrityDirs = 0;
    uint64_t nextUniqueId = 0;
    uint32_t rootEntryBlock = 0;
    std::string volumeId, logicalVolumeId, fileSetId;  // UTF-8
    std::string implementationId;  // regid identifier bytes of the primary descriptor
};

class UdfReader {
public:
    // The source must outlive the reader.
    explicit UdfReader(const ImageSource& image) : m_image(image) {}

    // Checks the whole volume and walks the tree. True when no problem was
    // found.
    bool Read();
    const std::vector<std::string>& Problems() const { return m_problems; }
    std::string ProblemText() const;
    // The root first, then every folder's entries after it (breadth first).
    const std::vector<UdfNode>& Nodes() const { return m_nodes; }
    const UdfFacts& Facts() const { return m_facts; }
    const UdfNode* Find(const std::string& path) const;
    // Where the node's recorded bytes lie in the image, cut to its length.
    std::vector<ImageRun> DataRuns(const UdfNode& n) const;
    // The file's recorded bytes; nothing when there is no such file or they
    // cannot be read.
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) const;
    std::optional<std::vector<uint8_t>> ReadData(const UdfNode& n) const;

private:
    struct Entry;
    struct Folder;
    using Sector = std::vector<uint8_t>;
    bool ReadSector(uint64_t n, Sector& out) const;
    bool ReadBlock(uint64_t b, Sector& out) const { return ReadSector(uint64_t(m_facts.partitionStart) + b, out); }
    void Problem(const std::string& text);
    bool CheckTag(const uint8_t* d, size_t avail, uint32_t location, const std::string& what);
    void CheckRecognition();
    bool ReadAnchor(uint32_t sector, bool required);
    bool ReadSequence(uint32_t start, uint32_t length, std::vector<Sector>& out, const char* name);
    void CompareSequences(const std::vector<Sector>& main, const std::vector<Sector>& reserve);
    void ReadVolumeDescriptors(const std::vector<Sector>& vds);
    void ReadIntegrity();
    void ReadFileSet();
    bool ReadEntry(uint32_t block, const std::string& path, UdfNode& out, uint8_t& fileType);
    void WalkFolder(size_t self, uint32_t parentBlock, std::vector<Folder>& queue);

    const ImageSource& m_image;
    std::vector<std::string> m_problems;
    std::vector<UdfNode> m_nodes;
    std::unordered_map<std::string, size_t> m_byPath;
    UdfFacts m_facts;
    uint32_t m_fsdBlock = 0;
    uint32_t m_integrityStart = 0, m_integrityLength = 0;
    uint64_t m_folderBytesLeft = 0;  // identifier bytes the walk may still read
    uint64_t m_treeBytesLeft = 0;   // memory the tree may still take
    std::unordered_set<uint32_t> m_folderBlocks;  // folder entries reached
};

}  // namespace pm
