// The archive component's fixed message texts and the table that maps each
// native error number (the raise site) to the index of its message text.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace za {

struct TZANativeErrorRow {
    int32_t NativeError;  // the raise site's number
    int32_t MessageIndex; // index into ArchiverMessages
};

inline constexpr std::size_t NativeErrorCount = 68;
inline constexpr std::size_t ArchiverMessageCount = 41;

extern const std::array<TZANativeErrorRow, NativeErrorCount> NativeErrorTable;
extern const std::array<std::u16string_view, ArchiverMessageCount> ArchiverMessages;

// Message index of a native error number; 0 ("Unknown error") when the number
// is not in the table.
int32_t NativeErrorToMessageIndex(int32_t nativeError) noexcept;

} // namespace za
