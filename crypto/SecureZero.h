// Wiping of key material that the compiler may not optimise away.
#pragma once

#include <cstddef>

namespace za {

inline void SecureZero(void* p, size_t n) {
    volatile unsigned char* q = static_cast<volatile unsigned char*>(p);
    while (n--)
        *q++ = 0;
}

} // namespace za
