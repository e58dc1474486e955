#include "udf/ExtendedAttributes.h"

#include "disc/OnDisc.h"
#include "udf/Primitives.h"

namespace pm {


namespace {

constexpr uint32_t kImplementationUseAttribute = 2048;

// One implementation use attribute at `a`: header, identifier, checksum; the
// implementation use bytes after the checksum stay zero.
void FillImplementationAttribute(uint8_t* a, uint32_t length, uint32_t useLength, const char* identifier) {
    PutLE32(a + 0, kImplementationUseAttribute);  // attribute type
    a[4] = 1;                                     // attribute subtype
    PutLE32(a + 8, length);                       // attribute length
    PutLE32(a + 12, useLength);                   // implementation use length
    FillUdfRevisionId(a + 16, identifier);        // implementation identifier
    PutLE16(a + 48, ImplementationAttributeChecksum(a));  // header checksum
}

}  // namespace

uint16_t ImplementationAttributeChecksum(const uint8_t* attribute) {
    uint16_t sum = 0;
    for (int i = 0; i < 48; ++i) sum = uint16_t(sum + attribute[i]);
    return sum;
}

void FillExtendedAttributes(uint8_t* ea, uint32_t entryBlock) {
    PutLE32(ea + 16, 24);                         // implementation attributes location
    PutLE32(ea + 20, kExtendedAttributesLength);  // application attributes location: none
    FillTag(ea, kTagExtendedAttributeHeader, entryBlock, 24);
    FillImplementationAttribute(ea + 24, 52, 4, "*UDF FreeEASpace");    // free EA space 0
    FillImplementationAttribute(ea + 76, 56, 8, "*UDF DVD CGMS Info");  // no copy restriction
}

}  // namespace pm
