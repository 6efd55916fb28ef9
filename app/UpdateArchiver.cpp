#include "app/UpdateArchiver.h"

namespace za {

void TUpdateArchiver::ResetTally() {
    FSelected = 0;
    FExtracted = 0;
    FSkipped = 0;
    FEntrySkipped = false;
}

void TUpdateArchiver::DoOverallProgress(double Progress, TZAProcessOperation Operation,
                                        TZAProgressPhase ProgressPhase, bool& Cancel) {
    if (Operation == poExtract) {
        if (ProgressPhase == ppStart) {
            ResetTally();
        }
        // The run counts its tagged entries before it starts; the closing
        // event of the run (also sent after an abort) settles the number.
        FSelected = FProcessedFileCount;
    }
    TZipArchiver::DoOverallProgress(Progress, Operation, ProgressPhase, Cancel);
}

void TUpdateArchiver::DoFileProgress(const std::u16string& FileName, double Progress,
                                     TZAProcessOperation Operation, TZAProgressPhase ProgressPhase,
                                     bool& Cancel) {
    if (ProgressPhase == ppStart) {
        FEntrySkipped = false; // a new entry, or a retry of the same one
    }
    TZipArchiver::DoFileProgress(FileName, Progress, Operation, ProgressPhase, Cancel);
    if (ProgressPhase == ppEnd && Operation == poExtract) {
        if (FEntrySkipped) {
            ++FSkipped;
        } else {
            ++FExtracted;
        }
        FEntrySkipped = false;
    }
}

void TUpdateArchiver::DoPassword(const std::u16string& FileName, std::string& NewPassword,
                                 bool& SkipFile) {
    TZipArchiver::DoPassword(FileName, NewPassword, SkipFile);
    FEntrySkipped = SkipFile;
}

} // namespace za
