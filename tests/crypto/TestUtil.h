// Small helpers shared by the crypto tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace za::test {

inline std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> out;
    auto v = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(v(hex[i]) * 16 + v(hex[i + 1])));
    return out;
}

inline std::string ToHex(const uint8_t* p, size_t n) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}
inline std::string ToHex(const std::vector<uint8_t>& v) {
    return ToHex(v.data(), v.size());
}

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 g(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(g());
    return v;
}

inline std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

} // namespace za::test
