#include "udf/VolumeStructures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "layout/ImageBuilder.h"
#include "settings/VolumeInfo.h"
#include "udf/Bytes.h"
#include "udf/Primitives.h"
#include "UdfTestSupport.h"

namespace pm {
namespace {

using namespace udfle;

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) { return std::vector<uint8_t>(p, p + n); }

// The UTF-8 text of a CS0 d-string of `width` bytes.
std::string DstringText(const uint8_t* f, int width) {
    std::string s;
    int used = f[width - 1];
    EXPECT_TRUE(used == 0 || f[0] == 16);
    for (int i = 1; i + 1 < used; i += 2) s.push_back(char(f[i + 1]));  // ASCII in these tests
    return s;
}

std::string IdText(const Cs0String& id) {
    std::string s;
    for (int i = 1; i + 1 < id.Length(); i += 2) s.push_back(char(id.Data()[i + 1]));
    return s;
}

struct Fixture {
    ImageLayout layout;
    VolumeInfo info;
    Fixture() {
        layout.m_dwUdfPartitionLength = 100;
        layout.m_dwUdfNextUniqueId = 20;
        info.Creation = VolumeDate{2013, 4, 0, 1, 12, 0, 0, 0};
        info.ImplID = "impl";
        info.UdfLabel.Assign("ABCDEFGHIJKLMNOP");  // 16 characters
        info.UdfVolSet.Copy(info.UdfLabel);
    }
    UdfVolume Volume() { return UdfVolume{layout, info, 3, 2, 2, MakeVolumeSetIdentifier(info, 1)}; }
};

void ExpectTag(const uint8_t* s, uint16_t id, uint32_t location, uint16_t crcLength) {
    EXPECT_EQ(GetLE16(s), id);
    EXPECT_EQ(GetLE16(s + 2), 2);
    EXPECT_EQ(s[4], TagChecksum(s));
    EXPECT_EQ(GetLE16(s + 10), crcLength);
    EXPECT_EQ(GetLE16(s + 8), DescriptorCrc(s + 16, crcLength));
    EXPECT_EQ(GetLE32(s + 12), location);
}

TEST(UdfVolume, RecognitionSequenceAndAnchor) {
    std::vector<uint8_t> s(2048, 0xAA);
    FillNsrDescriptor(s.data());
    const uint8_t nsr[8] = {0, 'N', 'S', 'R', '0', '2', 1, 0};
    EXPECT_EQ(Bytes(s.data(), 8), Bytes(nsr, 8));
    EXPECT_EQ(Bytes(s.data() + 7, 2041), std::vector<uint8_t>(2041, 0));
    FillBeginningExtendedArea(s.data());
    EXPECT_EQ(std::memcmp(s.data() + 1, "BEA01", 5), 0);
    FillTerminatingExtendedArea(s.data());
    EXPECT_EQ(std::memcmp(s.data() + 1, "TEA01", 5), 0);

    Fixture f;
    FillAnchor(s.data(), 271, f.Volume());
    ExpectTag(s.data(), kTagAnchor, 271, 496);
    const uint8_t body[16] = {0, 0x80, 0, 0, 32, 0, 0, 0, 0, 0x80, 0, 0, 48, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 16, 16), Bytes(body, 16));
    EXPECT_EQ(Bytes(s.data() + 32, 2016), std::vector<uint8_t>(2016, 0));
}

TEST(UdfVolume, VolumeSetIdentifierForm) {
    test::ScopedTimeZone tz("JST-9", 540);
    Fixture f;
    // Seed 1 draws 16838 (41C6) then 5758 (167E); the second comes first.
    Cs0String id = MakeVolumeSetIdentifier(f.info, 1);
    EXPECT_EQ(IdText(id), "5158F830167E41C6ABCDEFGHIJKLMNOP");
    EXPECT_EQ(id.Data()[0], 16);
    EXPECT_EQ(IdText(MakeVolumeSetIdentifier(f.info, 1)), IdText(id));  // reproducible

    // A long set name is cut to 47 characters after the 16-character prefix.
    f.info.UdfVolSet.Assign(std::string(60, 'v'));
    Cs0String cut = MakeVolumeSetIdentifier(f.info, 1);
    EXPECT_EQ(cut.Length(), 127);
    EXPECT_EQ(IdText(cut), "5158F830167E41C6" + std::string(47, 'v'));

    f.info.UdfVolSet = Cs0String();
    EXPECT_EQ(IdText(MakeVolumeSetIdentifier(f.info, 1)), "5158F830167E41C6");

    // Before 1900: T is 0; before 1970: T cannot be represented.
    f.info.Creation.year = 1899;
    EXPECT_EQ(IdText(MakeVolumeSetIdentifier(f.info, 1)), "0167E41C6");
    f.info.Creation.year = 1960;
    EXPECT_EQ(IdText(MakeVolumeSetIdentifier(f.info, 1)), "FFFFFFFF167E41C6");
}

TEST(UdfVolume, PrimaryVolumeDescriptor) {
    test::ScopedTimeZone tz("JST-9", 540);
    Fixture f;
    std::vector<uint8_t> s(2048, 0xAA);
    FillPrimaryVolumeDescriptor(s.data(), 32, f.Volume());
    ExpectTag(s.data(), kTagPrimaryVolume, 32, 496);
    EXPECT_EQ(GetLE32(s.data() + 16), 0u);
    EXPECT_EQ(DstringText(s.data() + 24, 32), "ABCDEFGHIJKLMNO");  // 15 of 16 characters
    EXPECT_EQ(s[55], 31);
    const uint8_t numbers[16] = {1, 0, 1, 0, 2, 0, 2, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 56, 16), Bytes(numbers, 16));
    EXPECT_EQ(DstringText(s.data() + 72, 128), "5158F830167E41C6ABCDEFGHIJKLMNOP");
    EXPECT_EQ(s[199], 65);
    EXPECT_EQ(std::memcmp(s.data() + 201, "OSTA Compressed Unicode", 23), 0);
    EXPECT_EQ(std::memcmp(s.data() + 265, "OSTA Compressed Unicode", 23), 0);
    EXPECT_EQ(Bytes(s.data() + 328, 48), std::vector<uint8_t>(48, 0));
    const uint8_t stamp[12] = {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 376, 12), Bytes(stamp, 12));
    EXPECT_EQ(std::memcmp(s.data() + 389, "*impl", 5), 0);
    EXPECT_EQ(Bytes(s.data() + 420, 2048 - 420), std::vector<uint8_t>(2048 - 420, 0));
}

TEST(UdfVolume, ImplementationUseAndPartitionDescriptors) {
    Fixture f;
    std::vector<uint8_t> s(2048, 0xAA);
    FillImplementationUseDescriptor(s.data(), 33, f.Volume());
    ExpectTag(s.data(), kTagImplementationUse, 33, 496);
    EXPECT_EQ(GetLE32(s.data() + 16), 1u);
    EXPECT_EQ(std::memcmp(s.data() + 21, "*UDF LV Info", 12), 0);
    EXPECT_EQ(s[44], 2);
    EXPECT_EQ(s[45], 1);
    EXPECT_EQ(std::memcmp(s.data() + 53, "OSTA Compressed Unicode", 23), 0);
    EXPECT_EQ(DstringText(s.data() + 116, 128), "ABCDEFGHIJKLMNOP");  // 16 characters whole
    EXPECT_EQ(s[243], 33);
    EXPECT_EQ(Bytes(s.data() + 244, 108), std::vector<uint8_t>(108, 0));
    EXPECT_EQ(std::memcmp(s.data() + 353, "*impl", 5), 0);
    EXPECT_EQ(Bytes(s.data() + 384, 2048 - 384), std::vector<uint8_t>(2048 - 384, 0));

    FillPartitionDescriptor(s.data(), 34, f.Volume());
    ExpectTag(s.data(), kTagPartition, 34, 496);
    const uint8_t head[8] = {2, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 16, 8), Bytes(head, 8));
    EXPECT_EQ(std::memcmp(s.data() + 25, "+NSR02", 7), 0);
    EXPECT_EQ(Bytes(s.data() + 32, 152), std::vector<uint8_t>(152, 0));
    const uint8_t place[12] = {1, 0, 0, 0, 0x01, 0x01, 0, 0, 100, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 184, 12), Bytes(place, 12));
    EXPECT_EQ(std::memcmp(s.data() + 197, "*impl", 5), 0);
    EXPECT_EQ(Bytes(s.data() + 228, 2048 - 228), std::vector<uint8_t>(2048 - 228, 0));
}

TEST(UdfVolume, LogicalVolumeAndUnallocatedSpaceDescriptors) {
    Fixture f;
    std::vector<uint8_t> s(2048, 0xAA);
    FillLogicalVolumeDescriptor(s.data(), 35, f.Volume());
    ExpectTag(s.data(), kTagLogicalVolume, 35, 430);
    EXPECT_EQ(GetLE32(s.data() + 16), 3u);
    EXPECT_EQ(DstringText(s.data() + 84, 128), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(GetLE32(s.data() + 212), 2048u);
    EXPECT_EQ(std::memcmp(s.data() + 217, "*OSTA UDF Compliant", 19), 0);
    const uint8_t fsd[24] = {0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 248, 24), Bytes(fsd, 24));
    EXPECT_EQ(std::memcmp(s.data() + 273, "*impl", 5), 0);
    const uint8_t tail[14] = {0, 0x10, 0, 0, 64, 0, 0, 0, 1, 6, 1, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 432, 14), Bytes(tail, 14));
    EXPECT_EQ(Bytes(s.data() + 446, 2048 - 446), std::vector<uint8_t>(2048 - 446, 0));

    FillUnallocatedSpaceDescriptor(s.data(), 36);
    ExpectTag(s.data(), kTagUnallocatedSpace, 36, 8);
    EXPECT_EQ(GetLE32(s.data() + 16), 4u);
    EXPECT_EQ(Bytes(s.data() + 20, 2028), std::vector<uint8_t>(2028, 0));
}

TEST(UdfVolume, IntegrityAndFileSetDescriptors) {
    test::ScopedTimeZone tz("JST-9", 540);
    Fixture f;
    std::vector<uint8_t> s(2048, 0xAA);
    FillIntegrityDescriptor(s.data(), 64, f.Volume());
    ExpectTag(s.data(), kTagIntegrity, 64, 118);
    const uint8_t stamp[12] = {0x1C, 0x12, 0xDD, 0x07, 4, 1, 12, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 16, 12), Bytes(stamp, 12));
    EXPECT_EQ(GetLE32(s.data() + 28), 1u);
    EXPECT_EQ(Bytes(s.data() + 32, 8), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(GetLE64(s.data() + 40), 20u);
    EXPECT_EQ(Bytes(s.data() + 48, 24), std::vector<uint8_t>(24, 0));
    const uint8_t counts[16] = {1, 0, 0, 0, 46, 0, 0, 0, 0, 0, 0, 0, 100, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 72, 16), Bytes(counts, 16));
    EXPECT_EQ(std::memcmp(s.data() + 89, "*impl", 5), 0);
    const uint8_t use[14] = {3, 0, 0, 0, 2, 0, 0, 0, 2, 1, 2, 1, 2, 1};
    EXPECT_EQ(Bytes(s.data() + 120, 14), Bytes(use, 14));
    EXPECT_EQ(Bytes(s.data() + 134, 2048 - 134), std::vector<uint8_t>(2048 - 134, 0));

    FillFileSetDescriptor(s.data(), 0, f.Volume());
    ExpectTag(s.data(), kTagFileSet, 0, 496);
    EXPECT_EQ(Bytes(s.data() + 16, 12), Bytes(stamp, 12));
    const uint8_t levels[20] = {3, 0, 3, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 28, 20), Bytes(levels, 20));
    EXPECT_EQ(std::memcmp(s.data() + 49, "OSTA Compressed Unicode", 23), 0);
    EXPECT_EQ(DstringText(s.data() + 112, 128), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(std::memcmp(s.data() + 241, "OSTA Compressed Unicode", 23), 0);
    EXPECT_EQ(DstringText(s.data() + 304, 32), "ABCDEFGHIJKLMNO");
    EXPECT_EQ(Bytes(s.data() + 336, 64), std::vector<uint8_t>(64, 0));
    const uint8_t root[16] = {0, 8, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(s.data() + 400, 16), Bytes(root, 16));
    EXPECT_EQ(std::memcmp(s.data() + 417, "*OSTA UDF Compliant", 19), 0);
    EXPECT_EQ(s[442], 3);
    EXPECT_EQ(Bytes(s.data() + 448, 2048 - 448), std::vector<uint8_t>(2048 - 448, 0));
}

}  // namespace
}  // namespace pm
