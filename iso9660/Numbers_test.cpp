#include "disc/OnDisc.h"

#include <gtest/gtest.h>

#include <vector>

namespace pm {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(Numbers, ByteOrders) {
    EXPECT_EQ(ByteSwap32(0x12345678u), 0x78563412u);
    EXPECT_EQ(ByteSwap16(0xABCD), 0xCDAB);
    uint8_t b[8] = {};
    PutBoth32(b, 2048);
    EXPECT_EQ(Bytes(b, b + 8), (Bytes{0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00}));
    PutBoth32(b, 0xFFFFFFFEu);
    EXPECT_EQ(Bytes(b, b + 8), (Bytes{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
    PutBoth16(b, 1);
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{0x01, 0x00, 0x00, 0x01}));
    PutLE64(b, 0x0102030405060708ull);
    EXPECT_EQ(Bytes(b, b + 8), (Bytes{8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(GetLE64(b), 0x0102030405060708ull);
    EXPECT_EQ(GetLE32(b) + GetLE16(b), 0x05060708u + 0x0708);
    PutBE32(b, 0xA1B2C3D4u);
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{0xA1, 0xB2, 0xC3, 0xD4}));
    EXPECT_EQ(GetBE32(b) + GetBE16(b), 0xA1B2C3D4u + 0xA1B2);
    PutLE16(b, 0xFFEE);
    PutBE16(b + 2, 0xFFEE);
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{0xEE, 0xFF, 0xFF, 0xEE}));
}

}  // namespace
}  // namespace pm
