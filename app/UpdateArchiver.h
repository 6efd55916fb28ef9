// The archive object of the updater's main window: a TZipArchiver that also
// keeps a tally of what one extraction run did with its entries, so that the
// Update command can tell a complete update from an incomplete one.
//
// The tally follows the component's own reports: the run's overall events
// give the number of selected entries, a file's closing progress event
// marks an entry as done, and the password dispatcher says when the user
// chose to skip the current entry (an entry skipped that way still sends its
// closing event, but its file is not written).
#pragma once

#include <cstdint>

#include "archiver/ZipArchiver.h"

namespace za {

class TUpdateArchiver : public TZipArchiver {
public:
    explicit TUpdateArchiver(TComponent* AOwner = nullptr) : TZipArchiver(AOwner) {}

    // Entries selected by the last run (its FProcessedFileCount).
    int32_t EntriesSelected() const { return FSelected; }
    // Entries of the last run that were written (or, for folders, created).
    int32_t EntriesExtracted() const { return FExtracted; }
    // Entries of the last run that finished without being written because
    // the password question was answered with Cancel.
    int32_t EntriesSkipped() const { return FSkipped; }
    // Selected entries that were not extracted: failed and ignored, skipped,
    // or not reached after an abort.
    int32_t EntriesNotExtracted() const {
        return FSelected > FExtracted ? FSelected - FExtracted : 0;
    }
    void ResetTally();

    void DoOverallProgress(double Progress, TZAProcessOperation Operation,
                           TZAProgressPhase ProgressPhase, bool& Cancel) override;
    void DoFileProgress(const std::u16string& FileName, double Progress,
                        TZAProcessOperation Operation, TZAProgressPhase ProgressPhase,
                        bool& Cancel) override;
    void DoPassword(const std::u16string& FileName, std::string& NewPassword,
                    bool& SkipFile) override;

private:
    int32_t FSelected = 0;
    int32_t FExtracted = 0;
    int32_t FSkipped = 0;
    bool FEntrySkipped = false;
};

} // namespace za
