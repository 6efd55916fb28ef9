// Standard input and output as text files with an I/O result, the way the
// updater's failure path uses them: write a line, check the result, read a line.
#pragma once

#include <string>

namespace za {

// Writes the text and a line end to standard output. Returns 0 or the I/O error
// number (105 when standard output cannot be written).
int WriteLnStdout(const std::u16string& text);
// Reads one line from standard input. Returns at once at end of file or when
// standard input is not open. Returns 0 or an I/O error number.
int ReadLnStdin();

} // namespace za
