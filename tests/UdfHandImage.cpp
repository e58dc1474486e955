#include "UdfHandImage.h"

#include <cstring>

#include "udf/FileEntries.h"
#include "udf/VolumeStructures.h"
#include "UdfTestSupport.h"

namespace pm::test {

namespace {

uint32_t BlocksOf(uint64_t bytes) { return uint32_t((bytes + SectorSize - 1) / SectorSize); }

}  // namespace

UdfHandImage::UdfHandImage() {
    m_root.m_strPath = "/src";
    m_root.m_bDirectory = true;
    m_info.Label = "HANDMADE";
    m_info.UdfLabel.Assign(m_info.Label);
    m_info.UdfVolSet.Assign(m_info.Label);
    m_info.ImplID = "parumero test";
    m_info.Creation = VolumeDate{2020, 2, 0, 29, 23, 59, 58, 0};
}

CFileEntry* UdfHandImage::Add(CFileEntry* parent, const std::string& name, bool directory, const std::string& content) {
    CFileEntry* node = AddUdfNode(parent ? *parent : m_root, name, directory, content.size());
    node->m_time = 1600000000;
    if (!directory) m_content[node] = content;
    return node;
}

void UdfHandImage::Collect(CFileEntry& folder) {
    m_directories.push_back(&folder);
    for (auto& c : folder.m_children)
        if (!c->m_bDirectory) m_files.push_back(c.get());
    for (auto& c : folder.m_children)
        if (c->m_bDirectory) Collect(*c);
}

std::vector<uint8_t> UdfHandImage::Build(uint32_t clockSeconds) {
    m_directories.clear();
    m_files.clear();
    Collect(m_root);
    ImageLayout& l = m_layout;

    // Placement, as the layout does it from partition block 2.
    m_root.m_dwUniqueId = 0;
    m_root.m_dwUdfEntryBlock = 2;
    m_root.m_dwUdfDataBlock = 3;
    m_root.m_nUdfSize = FidAreaSize(m_root);
    uint32_t next = 3 + BlocksOf(m_root.m_nUdfSize);
    l.m_dwUdfNextUniqueId = 16;
    for (CFileEntry* d : m_directories) {
        d->m_wLinkCount = 1;
        for (auto& c : d->m_children)
            if (!c->m_bDirectory) c->m_dwUdfEntryBlock = next++, c->m_dwUniqueId = l.m_dwUdfNextUniqueId++;
        for (auto& c : d->m_children) {
            if (!c->m_bDirectory) continue;
            c->m_dwUdfEntryBlock = next;
            c->m_dwUniqueId = l.m_dwUdfNextUniqueId++;
            c->m_dwUdfDataBlock = next + 1;
            c->m_nUdfSize = FidAreaSize(*c);
            next += 1 + BlocksOf(c->m_nUdfSize);
            ++d->m_wLinkCount;
        }
    }
    for (CFileEntry* f : m_files) {
        f->m_dwUdfDataBlock = next;
        next += f->m_nUdfSize ? BlocksOf(f->m_nUdfSize) : 1;
    }
    l.m_dwUdfPartitionLength = next;
    l.m_dwTotalSectors = (l.m_dwUdfPartitionStart + next + 16) / 16 * 16;

    // Writing, sector by sector at the places the layout fixed.
    std::vector<uint8_t> image(size_t(l.m_dwTotalSectors) * SectorSize, 0);
    auto sector = [&](uint32_t n) { return image.data() + size_t(n) * SectorSize; };
    auto block = [&](uint32_t b) { return sector(l.m_dwUdfPartitionStart + b); };
    UdfVolume v{l, m_info, uint32_t(m_files.size()), uint32_t(m_directories.size()), m_root.m_dwUdfEntryBlock,
                MakeVolumeSetIdentifier(m_info, clockSeconds)};
    FillBeginningExtendedArea(sector(16));
    FillNsrDescriptor(sector(17));
    FillTerminatingExtendedArea(sector(18));
    for (uint32_t start : {l.m_dwUdfMainVds, l.m_dwUdfReserveVds}) {
        FillPrimaryVolumeDescriptor(sector(start), start, v);
        FillImplementationUseDescriptor(sector(start + 1), start + 1, v);
        FillPartitionDescriptor(sector(start + 2), start + 2, v);
        FillLogicalVolumeDescriptor(sector(start + 3), start + 3, v);
        FillUnallocatedSpaceDescriptor(sector(start + 4), start + 4);
        FillTerminatingDescriptor(sector(start + 5), start + 5);
    }
    FillIntegrityDescriptor(sector(l.m_dwUdfIntegrity), l.m_dwUdfIntegrity, v);
    FillTerminatingDescriptor(sector(l.m_dwUdfIntegrity + 1), l.m_dwUdfIntegrity + 1);
    FillAnchor(sector(256), 256, v);
    FillFileSetDescriptor(block(0), 0, v);
    FillTerminatingDescriptor(block(1), 1);
    auto entry = [&](CFileEntry& n) { FillFileEntry(n, block(n.m_dwUdfEntryBlock), SectorSize, m_info.ImplID); };
    auto area = [&](CFileEntry& d) {
        std::vector<uint8_t> buf(size_t(BlocksOf(d.m_nUdfSize)) * SectorSize, 0);
        uint32_t used = FillDirectoryContents(d, buf.data(), SectorSize);
        std::memcpy(block(d.m_dwUdfDataBlock), buf.data(), used);
    };
    entry(m_root);
    area(m_root);
    for (CFileEntry* d : m_directories)
        for (auto& c : d->m_children) {
            entry(*c);
            if (c->m_bDirectory) area(*c);
        }
    for (CFileEntry* f : m_files) {
        const std::string& data = m_content[f];
        std::memcpy(block(f->m_dwUdfDataBlock), data.data(), data.size());
    }
    FillAnchor(sector(l.m_dwTotalSectors - 1), l.m_dwTotalSectors - 1, v);
    return image;
}

}  // namespace pm::test
