// Run-time detection of the x86-64 instruction set extensions that the
// accelerated kernels of this layer use. Every kernel has a portable
// counterpart; the fast one is picked once, at first use, from these flags.
#pragma once

namespace za {

struct TCpuFeatures {
    bool PCLMULQDQ = false; // carry-less multiply (CRC-32 folding)
    bool AES = false;       // AES-NI round instructions
    bool SHA = false;       // SHA extensions (SHA-1 rounds)
    bool SSE41 = false;
    bool SSSE3 = false;
    bool AVX2 = false;       // 256-bit integer vectors, OS-enabled
    bool AVX512 = false;     // AVX-512 F/VL/BW with OS-enabled ZMM state
    bool VAES = false;       // vector AES (with AVX2 state)
    bool VPCLMULQDQ = false; // vector carry-less multiply (with AVX-512 state)
};

// The features of this processor, as cpuid and xgetbv report them.
const TCpuFeatures& CpuFeatures();

} // namespace za
