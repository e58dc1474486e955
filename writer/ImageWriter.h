// Emits an image front to back, sector by sector, in the order the layout
// fixed, and checks the layout's plan as it goes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "layout/ImageBuilder.h"

namespace pm {

class InputFile;
class VolumeInfo;
struct UdfVolume;

class ImageWriter {
public:
    ImageWriter(ImageBuilder& builder, const VolumeInfo& info);
    ~ImageWriter();

    // TRUE when every sector was handed over.
    bool Run();

    // Source files are read in pieces of this size and handed over sector
    // by sector straight from the read buffer.
    static constexpr uint32_t kReadPiece = 1u << 20;

private:
    void Emit(const uint8_t* sector);
    void EmitBuffer(uint32_t sectors);
    void PadTo(uint32_t target);
    bool Expect(uint32_t planned);
    void WriteIsoBlock(bool joliet);
    void WriteUdfVolume(UdfVolume& v);
    void WriteUdfTree(UdfVolume& v);
    bool WriteFileData();
    bool CopyFile(const CFileEntry& f);

    ImageBuilder& m_b;
    const VolumeInfo& m_info;
    std::vector<uint8_t> m_buffer;  // m_dwBufferSize bytes: structures
    std::vector<uint8_t> m_piece;   // file data in large pieces
    uint32_t m_counter = 0;
    uint32_t m_base = 0;  // added to m_counter while it counts partition blocks
    bool m_changed = false;  // a source file changed while it was copied
    bool m_stopped = false;
    bool m_planBroken = false;
};

}  // namespace pm
