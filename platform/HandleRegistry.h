// Internal to the platform layer: the open file streams by descriptor, so that
// services given a bare handle (FileSetDate, FlushFileBuffers) can first write
// out what the stream still buffers.
#pragma once

#include <string>

namespace za {
class TFileStream;
}

namespace za::detail {

void RegisterFileHandle(int handle, TFileStream* stream);
void UnregisterFileHandle(int handle);
// Brings the descriptor up to date when a stream of this process owns it.
void SyncFileHandle(int handle);

// The system's text for an errno value.
std::u16string ErrorText(int err);

} // namespace za::detail
