#include "crypto/Crc32.h"

#include "TestUtil.h"

#include <gtest/gtest.h>

namespace za {
namespace {

using namespace crc32_detail;
using test::RandomBytes;

TEST(Crc32, StandardCheckValueAndTable) {
    const char* digits = "123456789";
    EXPECT_EQ(UpdateCrc32(0xFFFFFFFF, digits, 9) ^ 0xFFFFFFFFu, 0xCBF43926u);
    EXPECT_EQ(CrcTable[0], 0u);
    EXPECT_EQ(CrcTable[1], 0x77073096u);
    EXPECT_EQ(CrcTable[128], 0xEDB88320u);
    EXPECT_EQ(CrcTable[255], 0x2D02EF8Du);
    // No inversion inside: an empty update returns the register unchanged.
    EXPECT_EQ(UpdateCrc32(0x12345678, digits, 0), 0x12345678u);
}

struct Path {
    const char* name;
    uint32_t (*fn)(uint32_t, const void*, size_t);
    bool (*available)();
};

bool Always() {
    return true;
}

const Path kPaths[] = {{"slicing16", UpdateCrc32Slicing16, Always},
                       {"clmul", UpdateCrc32Clmul, ClmulAvailable},
                       {"vpclmul", UpdateCrc32Vpclmul, VpclmulAvailable},
                       {"dispatch", UpdateCrc32, Always}};

TEST(Crc32, EveryPathEqualsByteTableOnAllLengthsAndAlignments) {
    const auto data = RandomBytes(300 + 64, 1);
    for (const Path& p : kPaths) {
        if (!p.available()) {
            std::printf("[ skipped path %s: not supported here ]\n", p.name);
            continue;
        }
        for (size_t align = 0; align < 64; align += (align < 16 ? 1 : 16))
            for (size_t len = 0; len <= 300; ++len)
                for (uint32_t init : {0xFFFFFFFFu, 0u, 0x9E3779B9u}) {
                    const uint32_t want = UpdateCrc32Bytewise(init, data.data() + align, len);
                    ASSERT_EQ(p.fn(init, data.data() + align, len), want)
                        << p.name << " len " << len << " align " << align;
                }
    }
}

TEST(Crc32, EveryPathEqualsByteTableOnLargeBuffers) {
    const auto data = RandomBytes((1 << 20) + 300, 2);
    for (const Path& p : kPaths) {
        if (!p.available())
            continue;
        for (size_t len : {size_t{4096}, size_t{65536 + 13}, size_t{100003}, size_t{1 << 20}})
            for (size_t align : {0, 3, 17}) {
                const uint32_t want = UpdateCrc32Bytewise(0xFFFFFFFF, data.data() + align, len);
                EXPECT_EQ(p.fn(0xFFFFFFFF, data.data() + align, len), want)
                    << p.name << " len " << len;
            }
    }
}

TEST(Crc32, PiecewiseUpdateEqualsOneCall) {
    const auto data = RandomBytes(5000, 3);
    const uint32_t whole = UpdateCrc32(0xFFFFFFFF, data.data(), data.size());
    for (size_t piece : {1, 7, 16, 63, 64, 255, 256, 1000}) {
        uint32_t crc = 0xFFFFFFFF;
        for (size_t at = 0; at < data.size(); at += piece)
            crc = UpdateCrc32(crc, data.data() + at, std::min(piece, data.size() - at));
        EXPECT_EQ(crc, whole) << "piece " << piece;
    }
}

} // namespace
} // namespace za
