#include "udf/VolumeStructures.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "settings/VolumeInfo.h"
#include "udf/Primitives.h"
#include "iso9660/IsoTestSupport.h"

namespace pm {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Field(size_t width, const std::function<void(uint8_t*)>& fill) {
    Bytes b(width, 0);
    fill(b.data());
    return b;
}
Bytes Text(const std::string& s, int width) { return Field(size_t(width), [&](uint8_t* f) { WriteDstring(Cs0String(s), f, width); }); }
const std::string kLabel = "ABCDEFGHIJKLMNOP";  // 16 characters: 15 fit a 32-byte field

struct Fixture {
    Fixture() {
        info.Creation = VolumeDate{2013, 4, 0, 1, 12, 0, 0, 0};
        info.UdfLabel.Assign(kLabel);
        info.UdfVolSet.Copy(info.UdfLabel);
    }
    test::TzScope tz{"JST-9", 540};
    VolumeInfo info;
};

// Every byte of the recognition sequence, anchor, volume descriptor sequence,
// integrity and file set descriptors is pinned by the empty images' hashes
// (writer/ImageWriter_test.cpp) and read back, tags and CRCs checked, by the
// UDF reader and udfinfo; here the volume set identifier's own rules.
TEST(UdfVolume, VolumeSetIdentifier) {
    Fixture f;
    auto id = [&] { return MakeVolumeSetIdentifier(f.info, 1); };
    auto idText = [&] { return Field(128, [&](uint8_t* d) { WriteDstring(id(), d, 128); }); };
    // Eight hex digits of the creation time, then seed 1's draws 16838 (41C6)
    // and 5758 (167E), the second first; the same every time.
    EXPECT_EQ(idText(), Text("5158F830167E41C6" + kLabel, 128));
    EXPECT_EQ(id().Data()[0], 16);
    f.info.UdfVolSet.Assign(std::string(60, 'v'));  // cut to 47 characters after the 16
    EXPECT_EQ(id().Length(), 127);
    EXPECT_EQ(idText(), Text("5158F830167E41C6" + std::string(47, 'v'), 128));
    f.info.UdfVolSet = Cs0String();
    EXPECT_EQ(idText(), Text("5158F830167E41C6", 128));
    f.info.Creation.year = 1899;  // before 1900: T is 0
    EXPECT_EQ(idText(), Text("0167E41C6", 128));
    f.info.Creation.year = 1960;  // before 1970: T cannot be represented
    EXPECT_EQ(idText(), Text("FFFFFFFF167E41C6", 128));
}

}  // namespace
}  // namespace pm
