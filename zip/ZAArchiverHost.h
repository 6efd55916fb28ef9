// What the directory manager needs of the archive object that owns it. The
// archive object implements this interface; the ZIP layer never sees the
// archive object itself.
#pragma once

#include <cstdint>
#include <string>

#include "archiver/ZATypes.h"
#include "platform/Component.h"
#include "platform/Stream.h"
#include "zip/ZAVolume.h"

namespace za {

class IZAArchiverHost {
public:
    virtual ~IZAArchiverHost() = default;

    // Load the directory (by rebuilding it from local headers) even when no
    // end of central directory record is found or a header cannot be read.
    virtual bool OpenCorruptedArchives() const = 0;
    // smNone for a single-file archive.
    virtual TZASpanningMode SpanningMode() const = 0;
    // Options.OEMFileNames: names without the UTF-8 flag are OEM text.
    virtual bool OEMFileNames() const = 0;

    // The archiver's own archive stream (nullptr when none is open). A
    // manager created on any other stream is a custom-stream manager and
    // never switches volumes.
    virtual TStream* ArchiveStream() const = 0;

    // Self-extractor stub file for new archives (empty: none).
    virtual std::u16string SFXStub() const = 0;
    // Size limit of the given volume for multi-volume writing; -1 for none.
    virtual int64_t GetVolumeSize(const TZAVolumeNumberInfo& volume) const = 0;

    // The descriptor of the volume whose stream is open.
    virtual TZAVolumeNumberInfo& VolumeNumberInfo() = 0;
    // Makes the described volume's stream the archive stream (asking for the
    // volume when needed); raises EZAException 45 when the request is
    // cancelled. Afterwards ArchiveStream() gives the new stream.
    virtual void OpenVolume(const TZAVolumeNumberInfo& volume) = 0;

    // The component named in EZAException messages (may be nullptr).
    virtual const TComponent* Component() const = 0;
};

} // namespace za
