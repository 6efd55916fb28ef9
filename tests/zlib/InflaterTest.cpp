// The inflater runs zlib in raw mode but must answer every call exactly as
// zlib does for the same data behind the 0x78 0x01 header and followed by
// whatever the entry holds after its Deflate data. These tests drive both
// side by side over the same input and output splits.
#include "zlib/ZAAdler32.h"
#include "zlib/ZAZlib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace za {
namespace {

std::vector<uint8_t> Sample(size_t n, unsigned seed) {
    // Half text-like, half noise, so both Huffman and stored-ish blocks occur.
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    const std::string words = "the quick brown fox jumps over the lazy dog ";
    for (size_t i = 0; i < n; ++i)
        v[i] = (i / 4096) % 2 == 0 ? static_cast<uint8_t>(words[rng() % words.size()])
                                   : static_cast<uint8_t>(rng());
    return v;
}

std::vector<uint8_t> RawDeflate(const std::vector<uint8_t>& plain, int level) {
    z_stream s{};
    EXPECT_EQ(deflateInit2(&s, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> out(deflateBound(&s, plain.size()) + 16);
    s.next_in = const_cast<Bytef*>(plain.data());
    s.avail_in = static_cast<uInt>(plain.size());
    s.next_out = out.data();
    s.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&s, Z_FINISH), Z_STREAM_END);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

struct TCall {
    int rc;
    size_t consumed, produced;
    bool operator==(const TCall&) const = default;
};

// Feeds `data` in input pieces of `inStep` bytes into an output buffer of
// `outStep` bytes the way the pipeline does (a new piece once the input is
// used up, a fresh output buffer once it is full), recording every call.
template <class Fn>
std::vector<TCall> Drive(size_t total, size_t inStep, size_t outStep, Fn call,
                         std::vector<uint8_t>& plain) {
    std::vector<TCall> calls;
    std::vector<uint8_t> out(outStep);
    size_t fed = 0;
    while (fed < total && calls.size() < 2000000) {
        const size_t piece = std::min(inStep, total - fed);
        size_t left = piece;
        for (;;) {
            TCall c = call(fed + (piece - left), left, out.data(), outStep);
            calls.push_back(c);
            plain.insert(plain.end(), out.begin(), out.begin() + c.produced);
            left -= c.consumed;
            if (c.rc < 0 && !(c.rc == Z_BUF_ERROR && left == 0))
                return calls;
            if (c.rc == Z_STREAM_END || (c.rc == Z_BUF_ERROR && left == 0) ||
                (c.produced < outStep && left == 0))
                break;
        }
        fed += piece;
    }
    return calls;
}

struct TTrailerCase {
    const char* name;
    int extra;       // bytes after the Deflate data
    bool rightAdler; // the first four of them are the Adler-32 of the data
};

class InflaterVsZlib : public ::testing::TestWithParam<std::tuple<TTrailerCase, size_t, size_t>> {};

TEST_P(InflaterVsZlib, SameCallsSameOutput) {
    const auto [tc, inStep, outStep] = GetParam();
    const std::vector<uint8_t> plain = Sample(150000, 7);
    const std::vector<uint8_t> raw = RawDeflate(plain, 6);
    std::vector<uint8_t> tail(static_cast<size_t>(tc.extra), 0x5A);
    if (tc.rightAdler) {
        const uLong a = adler32(1, plain.data(), static_cast<uInt>(plain.size()));
        for (int i = 0; i < 4; ++i)
            tail[static_cast<size_t>(i)] = static_cast<uint8_t>(a >> (24 - 8 * i));
    }
    std::vector<uint8_t> entry = raw;
    entry.insert(entry.end(), tail.begin(), tail.end());
    std::vector<uint8_t> wrapped = {ZlibHeader[0], ZlibHeader[1]};
    wrapped.insert(wrapped.end(), entry.begin(), entry.end());

    TZAInflater ours;
    ASSERT_TRUE(ours.Init());
    std::vector<uint8_t> ourPlain, refPlain;
    auto oursCall = [&](size_t at, size_t left, uint8_t* out, size_t outLen) {
        if (left > 0 && ours.AvailIn() == 0)
            ours.SetInput(entry.data() + at, left);
        ours.SetOutput(out, outLen);
        const size_t in0 = ours.AvailIn(), out0 = ours.AvailOut();
        const int rc = ours.Inflate();
        return TCall{rc, in0 - ours.AvailIn(), out0 - ours.AvailOut()};
    };
    const std::vector<TCall> a = Drive(entry.size(), inStep, outStep, oursCall, ourPlain);

    // zlib itself over the wrapped stream; the header rides on the first piece.
    z_stream z{};
    ASSERT_EQ(inflateInit(&z), Z_OK);
    bool first = true;
    auto refCall = [&](size_t at, size_t left, uint8_t* out, size_t outLen) {
        if (left > 0 && z.avail_in == 0) {
            z.next_in = wrapped.data() + 2 + at - (first ? 2 : 0);
            z.avail_in = static_cast<uInt>(left + (first ? 2 : 0));
        }
        const bool hadHeader = first;
        first = false;
        z.next_out = out;
        z.avail_out = static_cast<uInt>(outLen);
        const uInt in0 = z.avail_in, out0 = z.avail_out;
        const int rc = inflate(&z, Z_NO_FLUSH);
        const size_t used = in0 - z.avail_in;
        return TCall{rc, used - (hadHeader && used >= 2 ? 2 : 0), out0 - z.avail_out};
    };
    const std::vector<TCall> b = Drive(entry.size(), inStep, outStep, refCall, refPlain);
    inflateEnd(&z);

    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].rc, b[i].rc) << "call " << i;
        EXPECT_EQ(a[i].consumed, b[i].consumed) << "call " << i;
        EXPECT_EQ(a[i].produced, b[i].produced) << "call " << i;
    }
    EXPECT_EQ(ourPlain, refPlain);
    EXPECT_EQ(ourPlain, plain);
    EXPECT_EQ(ours.TotalOut(), plain.size());
}

const TTrailerCase kTrailers[] = {
    {"none", 0, false},       {"one", 1, false},      {"three", 3, false},
    {"fourWrong", 4, false},  {"fourAdler", 4, true}, {"adlerThenMore", 9, true},
    {"manyWrong", 40, false},
};

INSTANTIATE_TEST_SUITE_P(
    Splits, InflaterVsZlib,
    ::testing::Combine(::testing::ValuesIn(kTrailers),
                       ::testing::Values(size_t{1}, size_t{3}, size_t{4096}, size_t{1} << 20),
                       ::testing::Values(size_t{1}, size_t{777}, size_t{1} << 20)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_in" +
               std::to_string(std::get<1>(info.param)) + "_out" +
               std::to_string(std::get<2>(info.param));
    });

TEST(InflaterTest, DamagedDataStaysAnError) {
    std::vector<uint8_t> raw = RawDeflate(Sample(5000, 3), 9);
    raw[0] |= 0x06; // block type 3 is invalid
    TZAInflater z;
    ASSERT_TRUE(z.Init());
    std::vector<uint8_t> out(1 << 16);
    z.SetInput(raw.data(), raw.size());
    z.SetOutput(out.data(), out.size());
    EXPECT_EQ(z.Inflate(), Z_DATA_ERROR);
    EXPECT_EQ(z.Inflate(), Z_DATA_ERROR);
}

TEST(Adler32Test, VectorKernelEqualsZlib) {
    if (!adler_detail::HasAvx2())
        GTEST_SKIP() << "no AVX2 here";
    std::mt19937 rng(11);
    std::vector<uint8_t> buf(1 << 20);
    for (auto& b : buf)
        b = static_cast<uint8_t>(rng());
    const std::vector<uint8_t> ff(300000, 0xFF); // the largest sums the lanes must hold
    for (size_t n :
         {size_t{0}, size_t{1}, size_t{31}, size_t{32}, size_t{33}, size_t{63}, size_t{64},
          size_t{5551}, size_t{5552}, size_t{5553}, size_t{65537}, buf.size() - 3}) {
        for (size_t off : {size_t{0}, size_t{1}, size_t{3}}) {
            for (uint32_t start : {1u, 0xFFF00000u | 65520u, 0x12345678u % 65521u}) {
                const uint32_t want = static_cast<uint32_t>(adler32_z(start, buf.data() + off, n));
                EXPECT_EQ(adler_detail::UpdateAvx2(start, buf.data() + off, n), want)
                    << n << " at " << off;
            }
        }
    }
    EXPECT_EQ(adler_detail::UpdateAvx2(1, ff.data(), ff.size()),
              static_cast<uint32_t>(adler32_z(1, ff.data(), ff.size())));
    EXPECT_EQ(UpdateAdler32(1, ff.data(), ff.size()),
              static_cast<uint32_t>(adler32_z(1, ff.data(), ff.size())));
}

} // namespace
} // namespace za
