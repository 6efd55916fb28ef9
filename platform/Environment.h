#pragma once

#include <string>

namespace za {

// Value of an environment variable; empty when it is not set.
std::u16string GetEnvironmentVariable(const std::u16string& name);
// The Windows directory: the value of WINDIR when set, otherwise "".
std::u16string GetWindowsDirectory();

} // namespace za
