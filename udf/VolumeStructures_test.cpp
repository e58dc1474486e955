#include "udf/VolumeStructures.h"

#include <gtest/gtest.h>

#include <string>

#include "settings/VolumeInfo.h"
#include "udf/Primitives.h"
#include "iso9660/IsoTestSupport.h"

namespace pm {
namespace {

// The CS0 bytes of an identifier.
std::string Bytes(const Cs0String& s) { return std::string(reinterpret_cast<const char*>(s.Data()), size_t(s.Length())); }
std::string Cs0(const std::string& utf8) { return Bytes(Cs0String(utf8)); }
const std::string kLabel = "ABCDEFGHIJKLMNOP";  // 16 characters: 15 fit a 32-byte field

// Every byte of the recognition sequence, anchor, volume descriptor sequence,
// integrity and file set descriptors is pinned by the empty images' hashes
// (writer/ImageWriter_test.cpp) and read back, tags and CRCs checked, by the
// UDF reader and udfinfo; here the volume set identifier's own rules.
TEST(UdfVolume, VolumeSetIdentifier) {
    test::TzScope tz{"JST-9"};
    VolumeInfo info;
    info.Creation = VolumeDate{2013, 4, 0, 1, 12, 0, 0, 0};
    info.UdfLabel.Assign(kLabel);
    info.UdfVolSet.Copy(info.UdfLabel);
    auto id = [&] { return Bytes(MakeVolumeSetIdentifier(info, 1)); };
    // Eight hex digits of the creation time, then seed 1's draws 16838 (41C6)
    // and 5758 (167E), the second first; the same every time.
    EXPECT_EQ(id(), Cs0("5158F830167E41C6" + kLabel));
    info.UdfVolSet.Assign(std::string(60, 'v'));  // cut to 47 characters after the 16
    EXPECT_EQ(id(), Cs0("5158F830167E41C6" + std::string(47, 'v')));
    info.UdfVolSet = Cs0String();
    EXPECT_EQ(id(), Cs0("5158F830167E41C6"));
    info.Creation.year = 1899;  // before 1900: T is 0
    EXPECT_EQ(id(), Cs0("0167E41C6"));
    info.Creation.year = 1960;  // before 1970: T cannot be represented
    EXPECT_EQ(id(), Cs0("FFFFFFFF167E41C6"));
}

}  // namespace
}  // namespace pm
