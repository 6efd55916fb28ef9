// The platform's string formatting: %s, %d, %u, %x with optional width and
// precision ("%5d", "%.3u", "%.2d"), "%%". Too few arguments, or an argument of
// the wrong kind, raise EConvertError.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

namespace za {

using TVarRec = std::variant<int64_t, std::u16string>;
using TVarArgs = std::vector<TVarRec>;

std::u16string Format(const std::u16string& fmt, const TVarArgs& args);
std::u16string IntToStr(int64_t value);

} // namespace za
