// The extended attribute space every file entry carries: a header descriptor
// and two implementation use attributes ("*UDF FreeEASpace" and
// "*UDF DVD CGMS Info").
#pragma once

#include <cstdint>

namespace pm {

constexpr uint32_t kExtendedAttributesLength = 132;

// Fills the 132 bytes at `ea` (zero beforehand); `entryBlock` is the tag
// location of the file entry that holds them.
void FillExtendedAttributes(uint8_t* ea, uint32_t entryBlock);

// 16-bit sum of the 48 header bytes of an implementation use attribute.
uint16_t ImplementationAttributeChecksum(const uint8_t* attribute);

}  // namespace pm
