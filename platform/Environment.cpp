#include "platform/Environment.h"

#include "platform/Path.h"

#include <cstdlib>

namespace za {

std::u16string GetEnvironmentVariable(const std::u16string& name) {
    if (name.empty()) {
        return {};
    }
    const char* value = std::getenv(ToUtf8(name).c_str());
    return value == nullptr ? std::u16string() : FromUtf8(value);
}

std::u16string GetWindowsDirectory() {
    return GetEnvironmentVariable(u"WINDIR");
}

} // namespace za
