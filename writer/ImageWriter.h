// Emits an image front to back, sector by sector, by walking the layout's
// plan, and checks every position against it as it goes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "layout/ImageBuilder.h"

#ifndef PARUMERO_READ_PIECE_KIB
#define PARUMERO_READ_PIECE_KIB 256
#endif

namespace pm {

class InputFile;
struct Prefetched;
class VolumeInfo;
struct UdfVolume;

class ImageWriter {
public:
    explicit ImageWriter(ImageBuilder& builder);
    ~ImageWriter();

    // TRUE when every sector was handed over.
    bool Run();

    // Source files are read in pieces of this size and handed over sector
    // by sector straight from the read buffer (bench/buffer_size.sh builds
    // the program with each size it compares).
    static constexpr uint32_t kReadPiece = PARUMERO_READ_PIECE_KIB * 1024u;
    // What the system moves from a source file into the image in one call,
    // where it can: the stop button is noticed between two of them.
    static constexpr uint64_t kMovePiece = uint64_t(8) << 20;

private:
    void Emit(const uint8_t* sector);
    void EmitBuffer(uint64_t sectors);
    void EmitZeros(uint64_t sectors);
    bool Expect(uint64_t planned);
    // The partition block of the current sector.
    uint32_t Block() const;
    // One step per kind of extent; false when a source file failed.
    bool WriteExtent(const PlannedExtent& x, const UdfVolume& v);
    void WritePathTable(ExtentKind kind, uint64_t sectors);
    bool NeedsBootInfo(const CFileEntry& f) const;
    void PatchBootInfo(const CFileEntry* treeFile, uint8_t* data, uint32_t got, const PlacedBootEntry* own = nullptr);
    bool CopyBootImage(const PlacedBootEntry& e, uint64_t sectors);
    void WriteDirectories(bool joliet);
    void WriteContinuations();
    void WriteUdfVolumeSequence(const UdfVolume& v);
    void WriteUdfTree();
    bool WriteFileData();
    bool CopyFile(const CFileEntry& f, Prefetched p);

    ImageBuilder& m_b;
    const VolumeInfo& m_info;
    std::vector<uint8_t> m_buffer;  // m_dwBufferSize bytes: structures
    std::vector<uint8_t> m_piece;   // file data in large pieces
    uint64_t m_counter = 0;  // the image sector handed over next
    bool m_changed = false;  // a source file changed while it was copied
    bool m_stopped = false;
    bool m_canMove = true;  // until the system declines to move file data
    bool m_planBroken = false;
};

}  // namespace pm
