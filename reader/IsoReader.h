// A strict reader of the ISO 9660 and Joliet hierarchies of an image: it
// checks the structures every image of ours must get right and lists what it
// finds. It reads through an ImageSource and trusts no field: every place and
// length is checked against the image before use, and the walk is bounded.
//
// Checked: the descriptor set (primary at 16, a Joliet supplementary
// descriptor with escape %/E, a terminator), both-byte numbers whose halves
// agree, the type L and type M path tables of both hierarchies against each
// other and against the directories (locations, parent numbers, order), every
// directory's "." and "..", that no record crosses a sector end, that every
// extent lies inside the volume space, and that the records of a file in
// several sections (multi-extent) follow one another on disc with no gap and
// no overlap; such a file is handed out as one entry of its whole size.
// Fields every record of ours holds alike and other readers act on (extended
// attribute length, interleaving, the flags beyond hidden, folder and
// multi-extent, the volume sequence number) must hold exactly that.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reader/ImageSource.h"

namespace pm {

// What the Rock Ridge entries of a record say (ISO 9660 tree only).
struct RockRidgeInfo {
    bool px = false, tf = false, nm = false, sl = false;
    uint32_t mode = 0, links = 0, uid = 0, gid = 0, serial = 0;
    uint8_t mtime[7] = {}, atime[7] = {}, ctime[7] = {};  // as recorded (short form)
    std::string name;    // NM, its pieces joined
    std::string target;  // SL, its components joined by "/"
};

struct IsoTreeEntry {
    std::string path;        // UTF-8, "/" separated, no leading "/", no ";1"
    std::string identifier;  // the record's identifier bytes (";1" included)
    int parent = -1;         // index of the folder's own entry; -1 for the root
    bool isDir = false;
    bool hidden = false;
    uint32_t extent = 0;
    uint64_t size = 0;
    uint8_t date[7] = {};    // recording date as recorded
    RockRidgeInfo rr;        // when the image has Rock Ridge
};

class IsoReader {
public:
    // Reads and checks the image at once; the source must outlive the reader.
    explicit IsoReader(const ImageSource& image);

    // Empty when the image is sound.
    const std::vector<std::string>& Problems() const { return m_problems; }
    std::string ProblemText() const;

    // Every entry but the root, directories in path-table order walk.
    const std::vector<IsoTreeEntry>& IsoTree() const { return m_iso; }
    const std::vector<IsoTreeEntry>& JolietTree() const { return m_joliet; }
    const IsoTreeEntry* Find(const std::vector<IsoTreeEntry>& tree, const std::string& path) const;
    bool HasJoliet() const { return m_hasJoliet; }
    // The ISO 9660 tree's root "." begins with SP: every record carries
    // Rock Ridge entries.
    bool HasRockRidge() const { return m_rockRidge; }

    // The bytes of a file's extent (empty when it lies outside the image).
    std::vector<uint8_t> ReadFile(const IsoTreeEntry& e) const;

    uint32_t VolumeSpaceSize() const { return m_volumeSectors; }

private:
    struct Hierarchy;
    struct Dir;
    struct PathEntry;

    void Read();
    bool ReadDescriptors(Hierarchy& iso, Hierarchy& joliet);
    void ReadHierarchy(Hierarchy& h, std::vector<IsoTreeEntry>& out);
    void ReadDirectory(const Hierarchy& h, std::vector<Dir>& dirs, size_t i, std::vector<IsoTreeEntry>& out);
    std::vector<PathEntry> ReadPathTable(const Hierarchy& h, uint32_t sector, bool bigEndian);
    void CheckPathTables(const Hierarchy& h, const std::vector<Dir>& dirs);
    void CheckRecordFields(const uint8_t* rec, const std::string& at);
    // The System Use entries from `su` on, and those of the continuation
    // areas they chain to.
    void ReadSystemUse(const uint8_t* su, size_t length, RockRidgeInfo& rr, const std::string& at);
    uint32_t Both32(const uint8_t* p, const std::string& what);
    uint16_t Both16(const uint8_t* p, const std::string& what);
    bool InVolume(uint32_t extent, uint64_t size) const;
    void Problem(const std::string& text);

    const ImageSource& m_image;
    uint32_t m_volumeSectors = 0;
    uint64_t m_sectorsLeft = 0;  // directory sectors the walk may still read
    uint64_t m_treeBytesLeft = 0;  // memory the tree may still take
    bool m_hasJoliet = false;
    bool m_rockRidge = false;
    uint32_t m_suSkip = 0;  // bytes before the entries of every System Use area (SP)
    std::vector<std::string> m_problems;
    std::vector<IsoTreeEntry> m_iso;
    std::vector<IsoTreeEntry> m_joliet;
};

}  // namespace pm
