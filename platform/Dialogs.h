// Every modal question the engine and the updater ask goes through one
// process-wide dialogs backend: message boxes with a fixed button set, the
// password dialog, and the display of an escaped exception. Backends: the
// scripted one for tests, a terminal one, and the Qt one in the updater.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace za {

enum TMsgDlgType : uint8_t {
    mtWarning = 0,
    mtError = 1,
    mtInformation = 2,
    mtConfirmation = 3,
    mtCustom = 4
};

enum TMsgDlgBtn : uint8_t {
    mbYes = 0,
    mbNo,
    mbOK,
    mbCancel,
    mbAbort,
    mbRetry,
    mbIgnore,
    mbAll,
    mbNoToAll,
    mbYesToAll,
    mbHelp
};
// A set of buttons: bit (1 << TMsgDlgBtn).
using TMsgDlgButtons = uint16_t;
constexpr TMsgDlgButtons Btn(TMsgDlgBtn b) {
    return static_cast<TMsgDlgButtons>(1u << b);
}
constexpr TMsgDlgButtons mbOKOnly = Btn(mbOK);
constexpr TMsgDlgButtons mbOKCancel = Btn(mbOK) | Btn(mbCancel);
constexpr TMsgDlgButtons mbYesNoNoToAllYesToAll =
    Btn(mbYes) | Btn(mbNo) | Btn(mbNoToAll) | Btn(mbYesToAll);
constexpr TMsgDlgButtons mbAbortRetryIgnore = Btn(mbAbort) | Btn(mbRetry) | Btn(mbIgnore);
constexpr TMsgDlgButtons mbAbortIgnore = Btn(mbAbort) | Btn(mbIgnore);

// Modal results.
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                       mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;
// The answer a user gives by closing a box instead of pressing a button.
constexpr TModalResult mrClosed = mrCancel;

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // A modal message box; returns the modal result of the pressed button.
    virtual TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type,
                                    TMsgDlgButtons buttons) = 0;
    // The password dialog: true when confirmed, with value set to the typed text.
    virtual bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                                std::u16string& value) = 0;
    // The application's default display of an escaped exception.
    virtual void ShowException(const std::u16string& message) = 0;
};

// Installs the process-wide backend (nullptr: none). Returns the previous one.
IDialogs* SetDialogs(IDialogs* backend);
IDialogs* Dialogs();

// Go to the installed backend; with none, the box is "closed" (mrClosed,
// false for the password dialog, nothing shown for an exception).
TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type, TMsgDlgButtons buttons);
bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                    std::u16string& value);
void ShowException(const std::u16string& message);

// Test backend: answers queued in order, every question recorded. When the
// queue is empty a question gets the closing answer.
class TScriptedDialogs : public IDialogs {
public:
    struct Question {
        enum Kind : uint8_t { kMessage, kPassword, kException } kind;
        std::u16string text;   // message text, password caption, or exception text
        std::u16string prompt; // password prompt
        std::u16string value;  // password value shown at the start
        TMsgDlgType type = mtCustom;
        TMsgDlgButtons buttons = 0;
    };
    struct Answer {
        TModalResult result = mrClosed; // for a password: mrOk confirms
        std::u16string value;           // typed password
    };

    void Push(TModalResult result) { FAnswers.push_back({result, {}}); }
    void PushPassword(const std::u16string& value) { FAnswers.push_back({mrOk, value}); }
    void PushPasswordCancel() { FAnswers.push_back({mrCancel, {}}); }

    TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override;
    bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                        std::u16string& value) override;
    void ShowException(const std::u16string& message) override;

    std::vector<Question> questions;
    size_t Pending() const { return FAnswers.size(); }

private:
    std::deque<Answer> FAnswers;
};

// Asks on the controlling terminal (/dev/tty); with no terminal every box is closed.
class TTerminalDialogs : public IDialogs {
public:
    TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override;
    bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                        std::u16string& value) override;
    void ShowException(const std::u16string& message) override;
};

// Installs a backend for a scope and restores the previous one.
class TDialogsScope {
public:
    explicit TDialogsScope(IDialogs* backend) : FPrev(SetDialogs(backend)) {}
    ~TDialogsScope() { SetDialogs(FPrev); }
    TDialogsScope(const TDialogsScope&) = delete;
    TDialogsScope& operator=(const TDialogsScope&) = delete;

private:
    IDialogs* FPrev;
};

} // namespace za
