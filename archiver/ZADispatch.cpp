// The event dispatchers: each fires its event when a handler is assigned and
// otherwise applies a default, asking the user through the dialogs backend
// where the default is a question. Also the failure protocol that every
// multi-file operation runs around one entry attempt.
#include "archiver/ZipArchiver.h"

#include "platform/CodePage.h"
#include "platform/Dialogs.h"
#include "platform/Files.h"
#include "platform/Format.h"
#include "platform/Path.h"

namespace za {

namespace {

// Texts of the default prompts.
constexpr const char16_t* SConfirmOverwrite = u"Overwrite file \"%s\" with \"%s\"";
constexpr const char16_t* SPasswordCaption = u"Password for \"%s\"";
constexpr const char16_t* SPasswordPrompt = u"Enter password: ";
constexpr const char16_t* SInsertBlankDisk = u"Please insert a blank disk #%d";
constexpr const char16_t* SInsertFirstDisk = u"Please insert the first disk";
constexpr const char16_t* SInsertLastDisk = u"Please insert the last disk";
constexpr const char16_t* SFileNotFoundOnDisk =
    u"File '%s' not found on inserted disk. Please insert last disk with required file";
constexpr const char16_t* SInsertDisk = u"Please insert disk #%d";
constexpr const char16_t* SDiskFull =
    u"Disk is full. Required free space: %d bytes, but available only: %d bytes. Clean the "
    u"disk or find another blank disk";
constexpr const char16_t* SFileProcessingError =
    u"%s. File processing error, possibly disk is full";

// Native error numbers the dispatchers act on.
constexpr int32_t NativeVolumeRequestCancelled = 45;
constexpr int32_t NativeFileNameTooLong = 61;
constexpr int32_t NativeDiskFull = 65;

bool AskOkCancel(const std::u16string& text) {
    return MessageDlg(text, mtConfirmation, mbOKCancel) == mrOk;
}

} // namespace

void TZABaseArchiver::DoOverallProgress(double Progress, TZAProcessOperation Operation,
                                        TZAProgressPhase ProgressPhase, bool& Cancel) {
    if (FOnOverallProgress) {
        FOnOverallProgress(this, Progress, Operation, ProgressPhase, Cancel);
    } else {
        Cancel = false;
    }
}

void TZABaseArchiver::DoFileProgress(const std::u16string& FileName, double Progress,
                                     TZAProcessOperation Operation, TZAProgressPhase ProgressPhase,
                                     bool& Cancel) {
    if (FOnFileProgress) {
        FOnFileProgress(this, SlashesToBackslashes(FileName), Progress, Operation, ProgressPhase,
                        Cancel);
    } else {
        Cancel = false;
    }
}

void TZABaseArchiver::DoCopyTempFileProgress(double Progress, TZAProgressPhase ProgressPhase,
                                             bool& Cancel) {
    Cancel = false;
    if (FOnCopyTempFileProgress) {
        FOnCopyTempFileProgress(this, Progress, ProgressPhase, Cancel);
    }
}

void TZABaseArchiver::DoConfirmOverwrite(const std::u16string& SourceFileName,
                                         std::u16string& DestFileName, bool& Confirm) {
    if (FOnConfirmOverwrite) {
        FOnConfirmOverwrite(this, SourceFileName, DestFileName, Confirm);
        return;
    }
    Confirm = false;
    const TModalResult answer =
        MessageDlg(Format(SConfirmOverwrite, {DestFileName, SourceFileName}), mtConfirmation,
                   mbYesNoNoToAllYesToAll);
    switch (answer) {
    case mrYes:
        Confirm = true;
        break;
    case mrNoToAll:
        FOptions.SetOverwriteMode(omNever);
        break;
    case mrYesToAll:
        Confirm = true;
        FOptions.SetOverwriteMode(omAlways);
        break;
    default: // No, or the box was closed
        break;
    }
}

void TZABaseArchiver::DoConfirmProcessFile(const std::u16string& FileName,
                                           TZAProcessOperation Operation, bool& Confirm) {
    Confirm = true;
    if (FOnConfirmProcessFile) {
        FOnConfirmProcessFile(this, FileName, Operation, Confirm);
    }
}

void TZABaseArchiver::DoPassword(const std::u16string& FileName, std::string& NewPassword,
                                 bool& SkipFile) {
    if (FOnPassword) {
        FOnPassword(this, FileName, NewPassword, SkipFile);
        return;
    }
    std::u16string answer;
    if (PasswordDialog(Format(SPasswordCaption, {FileName}), SPasswordPrompt, answer)) {
        SkipFile = false;
        NewPassword = UnicodeToAnsi(answer);
    } else {
        SkipFile = true;
    }
}

void TZABaseArchiver::DoProcessFileFailure(const std::u16string& FileName,
                                           TZAProcessOperation Operation, int32_t NativeError,
                                           int32_t ErrorCode, const std::u16string& ErrorMessage,
                                           TZAAction& Action) {
    Action = fxaIgnore;
    if (FOnProcessFileFailure) {
        FOnProcessFileFailure(this, FileName, Operation, NativeError, ErrorCode, ErrorMessage,
                              Action);
        return;
    }
    TModalResult answer;
    if (NativeError == NativeVolumeRequestCancelled) {
        Action = fxaAbort;
        return;
    }
    if (NativeError == NativeFileNameTooLong) {
        answer = MessageDlg(ErrorMessage, mtConfirmation, mbAbortIgnore);
    } else {
        answer = MessageDlg(Format(SFileProcessingError, {ErrorMessage}), mtConfirmation,
                            mbAbortRetryIgnore);
    }
    switch (answer) {
    case mrRetry:
        Action = fxaRetry;
        break;
    case mrIgnore:
        Action = fxaIgnore;
        break;
    default: // Abort, or the box was closed
        Action = fxaAbort;
        break;
    }
}

TZAAction TZABaseArchiver::ProcessWithFailureProtocol(const std::u16string& fileName,
                                                      TZAProcessOperation operation,
                                                      const std::function<void()>& attempt) {
    for (;;) {
        TZAAction action = fxaIgnore;
        try {
            attempt();
            return fxaIgnore;
        } catch (const EZAException& e) {
            DoProcessFileFailure(fileName, operation, e.NativeError(), e.ErrorCode(), e.Message(),
                                 action);
        }
        if (action != fxaRetry) {
            return action == fxaAbort ? fxaAbort : fxaIgnore;
        }
    }
}

void TZABaseArchiver::DoRequestBlankVolume(int32_t VolumeNumber, std::u16string& VolumeFileName,
                                           bool& Cancel) {
    if (VolumeNumber < 0) {
        VolumeNumber = 0;
    }
    MakeVolumeFileName(VolumeFileName, VolumeNumber, false);
    Cancel = false;
    if (FOnRequestBlankVolume) {
        FOnRequestBlankVolume(this, VolumeNumber + 1, VolumeFileName, Cancel);
    } else if (FSpanningMode == smSpanning) {
        Cancel = !AskOkCancel(Format(SInsertBlankDisk, {int64_t{VolumeNumber} + 1}));
    }
}

void TZABaseArchiver::DoRequestFirstVolume(std::u16string& VolumeFileName, bool& Cancel) {
    MakeVolumeFileName(VolumeFileName, 0, !FOnRequestFirstVolume);
    Cancel = false;
    if (FOnRequestFirstVolume) {
        FOnRequestFirstVolume(this, VolumeFileName, Cancel);
    } else if (FSpanningMode == smSpanning) {
        Cancel = !AskOkCancel(SInsertFirstDisk);
        MakeVolumeFileName(VolumeFileName, 0, true);
    } else {
        Cancel = !FileExists(VolumeFileName) && FFileOpenMode != ModeCreate;
    }
}

void TZABaseArchiver::DoRequestLastVolume(std::u16string& VolumeFileName, bool& Cancel) {
    MakeVolumeFileName(VolumeFileName, -1, true);
    Cancel = false;
    if (FOnRequestLastVolume) {
        FOnRequestLastVolume(this, VolumeFileName, Cancel);
    } else if (FSpanningMode == smSpanning) {
        Cancel = !AskOkCancel(SInsertLastDisk);
        while (!Cancel && !FileExists(VolumeFileName)) {
            Cancel = !AskOkCancel(Format(SFileNotFoundOnDisk, {VolumeFileName}));
        }
    } else {
        Cancel = !FileExists(VolumeFileName);
    }
}

void TZABaseArchiver::DoRequestMiddleVolume(int32_t VolumeNumber, std::u16string& VolumeFileName,
                                            bool& Cancel) {
    MakeVolumeFileName(VolumeFileName, VolumeNumber, !FOnRequestMiddleVolume);
    Cancel = false;
    if (FOnRequestMiddleVolume) {
        FOnRequestMiddleVolume(this, VolumeNumber + 1, VolumeFileName, Cancel);
        return;
    }
    if (FSpanningMode == smSpanning) {
        Cancel = !AskOkCancel(Format(SInsertDisk, {int64_t{VolumeNumber} + 1}));
    } else {
        Cancel = !FileExists(VolumeFileName);
    }
    MakeVolumeFileName(VolumeFileName, VolumeNumber, true);
}

void TZABaseArchiver::DoDiskFull(int32_t VolumeNumber, const std::u16string& VolumeFileName,
                                 bool& Cancel) {
    Cancel = false;
    if (FOnDiskFull) {
        FOnDiskFull(this, VolumeNumber + 1, VolumeFileName, Cancel);
        return;
    }
    if (FSpanningMode != smSpanning) {
        throw EZAException(NativeDiskFull, this);
    }
    TZAVolumeNumberInfo volume;
    volume.SetVolumeNumber(VolumeNumber);
    const int64_t required = FSpanningOptions.GetVolumeSize(volume);
    const int64_t available = DiskFree(VolumeFileName);
    Cancel = !AskOkCancel(Format(SDiskFull, {required, available}));
}

void TZABaseArchiver::DoProcessVolumeFailure(TZAProcessOperation Operation, int32_t VolumeNumber,
                                             const std::u16string& VolumeFileName, bool& Cancel) {
    if (FOnProcessVolumeFailure) {
        FOnProcessVolumeFailure(this, Operation, VolumeNumber, VolumeFileName, Cancel);
    }
}

void TZABaseArchiver::DoStoreFile(std::u16string& FileName, int32_t& FileAttr, std::string& Comment,
                                  const std::u16string& OriginalFileName) {
    if (FOnStoreFile) {
        FileName = SlashesToBackslashes(FileName);
        FOnStoreFile(this, FileName, FileAttr, Comment, OriginalFileName);
        FileName = BackslashesToSlashes(FileName);
    }
}

void TZABaseArchiver::DoExtractFile(std::u16string& FileName, uint32_t& FileAttr,
                                    const std::string& Comment) {
    FileName = SlashesToBackslashes(FileName);
    if (FOnExtractFile) {
        FOnExtractFile(this, FileName, FileAttr, Comment);
    }
}

void TZABaseArchiver::DoAfterOpen() {
    if (FAfterOpen) {
        FAfterOpen(this);
    }
}

} // namespace za
