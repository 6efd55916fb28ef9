#include "platform/Dialogs.h"

#include "platform/Path.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace za {

namespace {

std::atomic<IDialogs*> gDialogs{nullptr};

} // namespace

IDialogs* SetDialogs(IDialogs* backend) {
    return gDialogs.exchange(backend);
}
IDialogs* Dialogs() {
    return gDialogs.load();
}

TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type, TMsgDlgButtons buttons) {
    IDialogs* d = Dialogs();
    return d != nullptr ? d->MessageDlg(text, type, buttons) : mrClosed;
}

bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                    std::u16string& value) {
    IDialogs* d = Dialogs();
    return d != nullptr && d->PasswordDialog(caption, prompt, value);
}

void ShowException(const std::u16string& message) {
    if (IDialogs* d = Dialogs()) {
        d->ShowException(message);
    }
}

// ---------------------------------------------------------------- scripted

TModalResult TScriptedDialogs::MessageDlg(const std::u16string& text, TMsgDlgType type,
                                          TMsgDlgButtons buttons) {
    Question q{Question::kMessage, text, {}, {}, type, buttons};
    questions.push_back(std::move(q));
    if (FAnswers.empty()) {
        return mrClosed;
    }
    const TModalResult r = FAnswers.front().result;
    FAnswers.pop_front();
    return r;
}

bool TScriptedDialogs::PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                                      std::u16string& value) {
    Question q{Question::kPassword, caption, prompt, value, mtCustom, mbOKCancel};
    questions.push_back(std::move(q));
    if (FAnswers.empty()) {
        return false;
    }
    Answer a = std::move(FAnswers.front());
    FAnswers.pop_front();
    if (a.result != mrOk) {
        return false;
    }
    value = std::move(a.value);
    return true;
}

void TScriptedDialogs::ShowException(const std::u16string& message) {
    Question q{Question::kException, message, {}, {}, mtError, mbOKOnly};
    questions.push_back(std::move(q));
}

// ---------------------------------------------------------------- terminal

namespace {

// The controlling terminal, open for the life of one question.
class Tty {
public:
    Tty() : FFd(::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
    ~Tty() {
        if (FFd >= 0) {
            ::close(FFd);
        }
    }
    Tty(const Tty&) = delete;
    Tty& operator=(const Tty&) = delete;

    bool Ok() const { return FFd >= 0; }
    int Fd() const { return FFd; }

    void Put(const std::string& s) const {
        size_t done = 0;
        while (done < s.size()) {
            const ssize_t n = ::write(FFd, s.data() + done, s.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;
            }
            done += static_cast<size_t>(n);
        }
    }

    // One line without its end; false at end of input.
    bool GetLine(std::string& line) const {
        line.clear();
        for (;;) {
            char c;
            const ssize_t n = ::read(FFd, &c, 1);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            if (c == '\n') {
                if (!line.empty() && line.back() == '\r') {
                    line.pop_back();
                }
                return true;
            }
            if (line.size() < 4096) {
                line.push_back(c);
            }
        }
    }

private:
    int FFd;
};

// Turns terminal echo off for its lifetime.
class NoEcho {
public:
    explicit NoEcho(int fd) : FFd(fd) {
        if (tcgetattr(fd, &FSaved) == 0) {
            termios t = FSaved;
            t.c_lflag &= static_cast<tcflag_t>(~(ECHO | ECHOE | ECHOK | ECHONL));
            // TCSANOW: what the user already typed ahead is kept.
            FActive = tcsetattr(fd, TCSANOW, &t) == 0;
        }
    }
    ~NoEcho() {
        if (FActive) {
            tcsetattr(FFd, TCSANOW, &FSaved);
        }
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    int FFd;
    termios FSaved{};
    bool FActive = false;
};

struct ButtonInfo {
    TMsgDlgBtn button;
    const char* label;
    const char* key;
    TModalResult result;
};

constexpr ButtonInfo kButtons[] = {
    {mbYes, "Yes", "y", mrYes},
    {mbNo, "No", "n", mrNo},
    {mbOK, "OK", "o", mrOk},
    {mbCancel, "Cancel", "c", mrCancel},
    {mbAbort, "Abort", "a", mrAbort},
    {mbRetry, "Retry", "r", mrRetry},
    {mbIgnore, "Ignore", "i", mrIgnore},
    {mbAll, "All", "l", mrAll},
    {mbNoToAll, "No to all", "na", mrNoToAll},
    {mbYesToAll, "Yes to all", "ya", mrYesToAll},
};

const char* TypeCaption(TMsgDlgType type) {
    switch (type) {
    case mtWarning:
        return "Warning";
    case mtError:
        return "Error";
    case mtInformation:
        return "Information";
    case mtConfirmation:
        return "Confirm";
    default:
        return "Message";
    }
}

std::string Lower(std::string s) {
    for (auto& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

TModalResult TTerminalDialogs::MessageDlg(const std::u16string& text, TMsgDlgType type,
                                          TMsgDlgButtons buttons) {
    Tty tty;
    if (!tty.Ok()) {
        return mrClosed;
    }
    std::string choices;
    for (const auto& b : kButtons) {
        if (buttons & Btn(b.button)) {
            if (!choices.empty()) {
                choices += ", ";
            }
            choices += std::string(b.label) + " (" + b.key + ")";
        }
    }
    if (choices.empty()) {
        choices = "OK (o)";
        buttons = mbOKOnly;
    }
    tty.Put(std::string("\n[") + TypeCaption(type) + "] " + ToUtf8(text) + "\n");
    for (;;) {
        tty.Put(choices + "? ");
        std::string line;
        if (!tty.GetLine(line)) {
            tty.Put("\n");
            return mrClosed;
        }
        const std::string answer = Lower(line);
        for (const auto& b : kButtons) {
            if ((buttons & Btn(b.button)) && (answer == b.key || answer == Lower(b.label))) {
                return b.result;
            }
        }
    }
}

bool TTerminalDialogs::PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                                      std::u16string& value) {
    Tty tty;
    if (!tty.Ok()) {
        return false;
    }
    std::string line;
    bool ok;
    {
        // Echo goes off before the prompt shows, so nothing typed after it is seen.
        NoEcho noEcho(tty.Fd());
        std::string text(1, '\n');
        text.append(ToUtf8(caption)).append(" (end of input cancels");
        if (!value.empty()) {
            text.append(", an empty line keeps the shown value");
        }
        text.append(")\n").append(ToUtf8(prompt));
        tty.Put(text);
        ok = tty.GetLine(line);
    }
    tty.Put("\n");
    if (!ok || line == "\x1b") {
        return false;
    }
    if (line.size() > 255) {
        line.resize(255); // the dialog's edit box takes at most 255 characters
    }
    if (!line.empty() || value.empty()) {
        value = FromUtf8(line);
    }
    return true;
}

void TTerminalDialogs::ShowException(const std::u16string& message) {
    Tty tty;
    const std::string text = "\n[Error] " + ToUtf8(message) + "\n";
    if (tty.Ok()) {
        tty.Put(text);
    } else {
        std::fputs(text.c_str(), stderr);
    }
}

} // namespace za
