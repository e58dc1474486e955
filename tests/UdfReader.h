// An independent UDF reader for tests: it checks an image the way a strict
// reader would (tags, CRCs, locations, the two descriptor sequences, the
// integrity counts, file entries and identifiers) and hands back the tree it
// found and the bytes of its files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace pm::test {

// A run of bytes inside the partition.
struct UdfExtent {
    uint32_t block = 0;   // partition-relative
    uint32_t length = 0;  // bytes
};

struct UdfNode {
    std::string path;     // "/" for the root, "/a/b" below it (UTF-8)
    bool isDir = false;
    bool hidden = false;
    uint64_t size = 0;    // information length
    std::vector<UdfExtent> extents;    // where the data lies (none when embedded)
    std::vector<uint8_t> embedded;     // data kept inside the entry itself
    uint32_t entryBlock = 0;
    uint64_t uniqueId = 0;
    uint16_t linkCount = 0;
};

// What the volume descriptors say.
struct UdfFacts {
    uint32_t mainVds = 0, reserveVds = 0;
    uint32_t partitionStart = 0, partitionLength = 0;
    uint32_t integrityFiles = 0, integrityDirs = 0;
    uint64_t nextUniqueId = 0;
    uint32_t rootEntryBlock = 0;
    std::string volumeId, volumeSetId, logicalVolumeId, fileSetId;  // UTF-8
    std::string implementationId;  // regid identifier bytes of the primary descriptor
};

class UdfReader {
public:
    explicit UdfReader(std::vector<uint8_t> image) : m_image(std::move(image)) {}
    static std::vector<uint8_t> LoadFile(const std::string& path);

    // Checks the whole volume and walks the tree. True when no problem was
    // found.
    bool Read();
    const std::vector<std::string>& Problems() const { return m_problems; }
    std::string ProblemText() const;
    const std::vector<UdfNode>& Nodes() const { return m_nodes; }
    const UdfFacts& Facts() const { return m_facts; }
    const UdfNode* Find(const std::string& path) const;
    // The file's recorded bytes; nothing when there is no such file.
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) const;

    // Options for images from other writers.
    bool m_requireLastAnchor = true;
    bool m_requireFidUniqueIds = true;  // identifiers carry their entry's unique id
    // Some writers draw the volume set identifier anew for each copy of the
    // primary volume descriptor; this lets that one field differ.
    bool m_reserveMayDifferInVolumeSetId = false;

private:
    struct Entry;
    const uint8_t* Sector(uint64_t n) const;
    const uint8_t* Block(uint64_t b) const { return Sector(uint64_t(m_facts.partitionStart) + b); }
    void Problem(const std::string& text) { m_problems.push_back(text); }
    bool CheckTag(const uint8_t* d, size_t avail, uint32_t location, const std::string& what);
    void CheckRecognition();
    bool ReadAnchor(uint32_t sector, bool required);
    bool ReadSequence(uint32_t start, uint32_t length, std::vector<std::vector<uint8_t>>& out, const char* name);
    void CompareSequences(const std::vector<std::vector<uint8_t>>& main, const std::vector<std::vector<uint8_t>>& reserve);
    void ReadVolumeDescriptors(const std::vector<std::vector<uint8_t>>& vds);
    void ReadIntegrity();
    void ReadFileSet();
    bool ReadEntry(uint32_t block, const std::string& path, Entry& out);
    void Walk(uint32_t block, const std::string& path, uint32_t parentBlock, int depth);

    std::vector<uint8_t> m_image;
    std::vector<std::string> m_problems;
    std::vector<UdfNode> m_nodes;
    UdfFacts m_facts;
    uint32_t m_fsdBlock = 0;
    uint32_t m_integrityStart = 0, m_integrityLength = 0;
    std::vector<uint32_t> m_visited;
};

}  // namespace pm::test
