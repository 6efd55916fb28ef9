// The updater's pictures as PNG data, drawn at build time by
// app/assets/artgen.cpp and embedded in the program.
#pragma once

#include <cstddef>

namespace za {

struct TArtwork {
    const unsigned char* Data;
    std::size_t Size;
};

TArtwork IconPng();           // 64 x 64 window icon
TArtwork ChannelPicturePng(); // 89 x 36 picture of the video-channel button
TArtwork ProductPicturePng(); // 120 x 120 product picture of the About window

} // namespace za
