// A reader of ISO 9660 + Joliet images for tests: it checks the structures
// that every image of ours must get right and lists what it finds.
//
// Checked: the descriptor set (primary at 16, a Joliet supplementary
// descriptor with escape %/E, a terminator), both-byte numbers whose halves
// agree, the type L and type M path tables of both hierarchies against each
// other and against the directories (locations, parent numbers, order), every
// directory's "." and "..", that no record crosses a sector end, and that
// every extent lies inside the volume space.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pm::test {

struct IsoTreeEntry {
    std::string path;  // UTF-8, "/" separated, no leading "/", no ";1"
    bool isDir = false;
    uint32_t extent = 0;
    uint64_t size = 0;
};

class IsoReader {
public:
    // Reads and checks the image at once.
    explicit IsoReader(std::vector<uint8_t> image);

    // Empty when the image is sound.
    const std::vector<std::string>& Problems() const { return m_problems; }
    std::string ProblemText() const;

    // Every entry but the root, directories in path-table order walk.
    const std::vector<IsoTreeEntry>& IsoTree() const { return m_iso; }
    const std::vector<IsoTreeEntry>& JolietTree() const { return m_joliet; }
    const IsoTreeEntry* Find(const std::vector<IsoTreeEntry>& tree, const std::string& path) const;

    // The bytes of a file's extent (empty when it lies outside the image).
    std::vector<uint8_t> ReadFile(const IsoTreeEntry& e) const;

    uint32_t VolumeSpaceSize() const { return m_volumeSectors; }
    const std::vector<uint8_t>& Image() const { return m_image; }

private:
    struct Hierarchy;
    struct Dir;
    struct PathEntry;

    void Read();
    bool ReadDescriptors(Hierarchy& iso, Hierarchy& joliet);
    void ReadHierarchy(Hierarchy& h, std::vector<IsoTreeEntry>& out);
    std::vector<PathEntry> ReadPathTable(const Hierarchy& h, uint32_t sector, bool bigEndian);
    void CheckPathTables(const Hierarchy& h, const std::vector<Dir>& dirs);
    uint32_t Both32(const uint8_t* p, const std::string& what);
    uint16_t Both16(const uint8_t* p, const std::string& what);
    bool InVolume(uint32_t extent, uint64_t size) const;
    void Problem(std::string text) { m_problems.push_back(std::move(text)); }

    std::vector<uint8_t> m_image;
    uint32_t m_volumeSectors = 0;
    std::vector<std::string> m_problems;
    std::vector<IsoTreeEntry> m_iso;
    std::vector<IsoTreeEntry> m_joliet;
};

}  // namespace pm::test
