#include "udf/VolumeStructures.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "disc/OnDisc.h"
#include "layout/ImageBuilder.h"
#include "settings/VolumeInfo.h"
#include "udf/Primitives.h"
#include "iso9660/IsoTestSupport.h"

namespace pm {
namespace {

using Bytes = std::vector<uint8_t>;
using Fields = std::vector<std::pair<size_t, Bytes>>;

// Field encodings pinned by the primitive tests, placed here at their offsets.
Bytes Field(size_t width, const std::function<void(uint8_t*)>& fill) {
    Bytes b(width, 0);
    fill(b.data());
    return b;
}
Bytes Text(const std::string& s, int width) { return Field(size_t(width), [&](uint8_t* f) { WriteDstring(Cs0String(s), f, width); }); }
const Bytes kCharspec = Field(64, FillCharspec), kDomain = Field(32, FillDomainId);
const Bytes kImpl = Field(32, [](uint8_t* f) { FillImplementationId(f, "impl"); });
const Bytes kStamp = {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12, 0, 0, 0, 0, 0};  // 2013-04-01 12:00 +09:00
const std::string kLabel = "ABCDEFGHIJKLMNOP";  // 16 characters: 15 fit a 32-byte field

struct Fixture {
    Fixture() {
        layout.m_dwUdfPartitionLength = 100;
        layout.m_dwUdfNextUniqueId = 20;
        info.Creation = VolumeDate{2013, 4, 0, 1, 12, 0, 0, 0};
        info.ImplID = "impl";
        info.UdfLabel.Assign(kLabel);
        info.UdfVolSet.Copy(info.UdfLabel);
    }
    UdfVolume Volume() { return UdfVolume{layout, info, 3, 2, 2, MakeVolumeSetIdentifier(info, 1)}; }
    test::TzScope tz{"JST-9", 540};
    ImageLayout layout;
    VolumeInfo info;
};

// A sound tag of `id` at `location` whose CRC covers `crcLength` bytes, and
// zeros past it but for the fields given.
void ExpectDescriptor(const Bytes& s, uint16_t id, uint32_t location, uint16_t crcLength, const Fields& fields) {
    EXPECT_EQ(GetLE16(&s[0]), id);
    EXPECT_EQ(GetLE16(&s[2]), 2);
    EXPECT_EQ(s[4], TagChecksum(&s[0]));
    EXPECT_EQ(GetLE16(&s[8]), DescriptorCrc(&s[16], crcLength));
    EXPECT_EQ(GetLE16(&s[10]), crcLength);
    EXPECT_EQ(GetLE32(&s[12]), location);
    Bytes want(s.begin(), s.begin() + 16);
    want.resize(2048);
    for (const auto& [at, bytes] : fields) std::copy(bytes.begin(), bytes.end(), want.begin() + at);
    for (size_t i = 16; i < 2048; ++i) ASSERT_EQ(s[i], want[i]) << "descriptor " << id << ", byte " << i;
}

Bytes Filled(const std::function<void(uint8_t*)>& fill) { return Field(2048, [&](uint8_t* s) { std::fill(s, s + 2048, 0xAA), fill(s); }); }

TEST(UdfVolume, RecognitionSequenceAndAnchor) {
    using Fill = void (*)(uint8_t*);
    const std::pair<Fill, const char*> recognition[] = {
        {FillBeginningExtendedArea, "BEA01"}, {FillNsrDescriptor, "NSR02"}, {FillTerminatingExtendedArea, "TEA01"}};
    for (const auto& [fill, id] : recognition) {
        Bytes want(2048, 0);
        std::copy(id, id + 5, want.begin() + 1);
        want[6] = 1;
        EXPECT_EQ(Filled(fill), want) << id;
    }
    Fixture f;
    ExpectDescriptor(Filled([&](uint8_t* s) { FillAnchor(s, 271, f.Volume()); }), kTagAnchor, 271, 496,
                     {{16, {0, 0x80, 0, 0, 32, 0, 0, 0, 0, 0x80, 0, 0, 48, 0, 0, 0}}});  // 16 sectors at 32 and 48
}

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

TEST(UdfVolume, VolumeDescriptorSequence) {
    Fixture f;
    const UdfVolume v = f.Volume();
    ExpectDescriptor(Filled([&](uint8_t* s) { FillPrimaryVolumeDescriptor(s, 32, v); }), kTagPrimaryVolume, 32, 496,
                     {{24, Text(kLabel, 32)}, {56, {1, 0, 1, 0, 2, 0, 2, 0, 1, 0, 0, 0, 1, 0, 0, 0}},
                      {72, Text("5158F830167E41C6" + kLabel, 128)}, {200, kCharspec}, {264, kCharspec},
                      {376, kStamp}, {388, kImpl}});
    ExpectDescriptor(Filled([&](uint8_t* s) { FillImplementationUseDescriptor(s, 33, v); }), kTagImplementationUse, 33, 496,
                     {{16, {1}}, {20, Field(32, [](uint8_t* r) { FillUdfRevisionId(r, "*UDF LV Info"); })},
                      {52, kCharspec}, {116, Text(kLabel, 128)}, {352, kImpl}});
    ExpectDescriptor(Filled([&](uint8_t* s) { FillPartitionDescriptor(s, 34, v); }), kTagPartition, 34, 496,
                     {{16, {2, 0, 0, 0, 1}}, {24, Field(32, [](uint8_t* r) { FillPlainRegid(r, "+NSR02"); })},
                      {184, {1, 0, 0, 0, 0x01, 0x01, 0, 0, 100, 0, 0, 0}}, {196, kImpl}});  // read-only, 257, 100 blocks
    ExpectDescriptor(Filled([&](uint8_t* s) { FillLogicalVolumeDescriptor(s, 35, v); }), kTagLogicalVolume, 35, 430,
                     {{16, {3}}, {20, kCharspec}, {84, Text(kLabel, 128)}, {212, {0, 8}}, {216, kDomain},
                      {248, {0, 0x10}}, {264, {6, 0, 0, 0, 1}}, {272, kImpl},   // file set at block 0; one map of 6 bytes
                      {432, {0, 0x10, 0, 0, 64, 0, 0, 0, 1, 6, 1}}});              // integrity at 64; type 1 map
    ExpectDescriptor(Filled([&](uint8_t* s) { FillUnallocatedSpaceDescriptor(s, 36); }), kTagUnallocatedSpace, 36, 8, {{16, {4}}});
}

TEST(UdfVolume, IntegrityAndFileSetDescriptors) {
    Fixture f;
    const UdfVolume v = f.Volume();
    ExpectDescriptor(Filled([&](uint8_t* s) { FillIntegrityDescriptor(s, 64, v); }), kTagIntegrity, 64, 118,
                     {{16, kStamp}, {28, {1}}, {40, {20}},                      // closed; next unique id
                      {72, {1, 0, 0, 0, 46, 0, 0, 0, 0, 0, 0, 0, 100}},          // free space 0, size 100
                      {88, kImpl}, {120, {3, 0, 0, 0, 2, 0, 0, 0, 2, 1, 2, 1, 2, 1}}});  // files, folders, revisions
    ExpectDescriptor(Filled([&](uint8_t* s) { FillFileSetDescriptor(s, 0, v); }), kTagFileSet, 0, 496,
                     {{16, kStamp}, {28, {3, 0, 3, 0, 1, 0, 0, 0, 1}}, {48, kCharspec}, {112, Text(kLabel, 128)},
                      {240, kCharspec}, {304, Text(kLabel, 32)}, {400, {0, 8, 0, 0, 2}}, {416, kDomain}});  // root at 2
}

}  // namespace
}  // namespace pm
