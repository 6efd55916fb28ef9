#include "crypto/CpuFeatures.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include <cstdint>

namespace za {

namespace {

TCpuFeatures Detect() {
    TCpuFeatures f;
#if defined(__x86_64__) || defined(__i386__)
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(0, &a, &b, &c, &d))
        return f;
    const unsigned maxLeaf = a;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return f;
    const bool osxsave = (c >> 27) & 1;
    f.PCLMULQDQ = (c >> 1) & 1;
    f.SSSE3 = (c >> 9) & 1;
    f.SSE41 = (c >> 19) & 1;
    f.AES = (c >> 25) & 1;
    const bool avx = (c >> 28) & 1;
    uint64_t xcr0 = 0;
    if (osxsave) {
        uint32_t lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        xcr0 = (static_cast<uint64_t>(hi) << 32) | lo;
    }
    const bool ymmState = (xcr0 & 0x6) == 0x6;
    const bool zmmState = (xcr0 & 0xE6) == 0xE6;
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        f.SHA = (b >> 29) & 1;
        f.AVX2 = avx && ymmState && ((b >> 5) & 1);
        const bool avx512f = (b >> 16) & 1, avx512bw = (b >> 30) & 1, avx512vl = (b >> 31) & 1;
        f.AVX512 = f.AVX2 && zmmState && avx512f && avx512bw && avx512vl;
        f.VAES = f.AVX2 && f.AES && ((c >> 9) & 1);
        f.VPCLMULQDQ = f.AVX512 && f.PCLMULQDQ && ((c >> 10) & 1);
    }
#endif
    return f;
}

} // namespace

const TCpuFeatures& CpuFeatures() {
    static const TCpuFeatures features = Detect();
    return features;
}

} // namespace za
