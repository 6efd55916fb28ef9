#pragma once

#include <string>

namespace za {

// The shell's "open" request, fire-and-forget: program may be a program path
// (for example "c:\windows\notepad.exe") with a document in parameters, or a
// document / web address on its own. On Linux the document or address goes to
// the desktop's opener (xdg-open), started detached; the result is ignored.
void ShellOpen(const std::u16string& program, const std::u16string& parameters = {});

} // namespace za
