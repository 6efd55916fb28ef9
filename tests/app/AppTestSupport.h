// Helpers of the updater's tests: a small ZIP writer for fixtures (stored or
// deflated entries, PKZIP classic encryption, deliberately wrong CRCs,
// folder entries), a sandbox folder that is the current directory for one
// test, environment variables set for one test, and a dialogs backend that
// looks at the window each time a question is asked.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace za::test {

// The archive password the updater uses.
inline constexpr char kUpdatePassword[] = "Qm7RvKt2LwXe9HbYc4NaJf6UsDp3ZgTi8o";

struct TFixtureEntry {
    std::string Name; // stored name, "/" between folders; a folder ends with "/"
    std::string Data;
    bool Deflate = false;
    std::optional<std::string> Password; // PKZIP classic encryption when set
    bool WrongCrc = false;               // the stored CRC does not match the data
};

// A complete ZIP archive holding the entries in order.
std::string BuildZip(const std::vector<TFixtureEntry>& entries);

void WriteFile(const std::filesystem::path& path, const std::string& bytes);
std::string ReadFile(const std::filesystem::path& path);

// A fresh folder that is the current directory while the object lives.
class TSandbox {
public:
    TSandbox();
    ~TSandbox();
    TSandbox(const TSandbox&) = delete;
    TSandbox& operator=(const TSandbox&) = delete;
    const std::filesystem::path& Root() const { return FRoot; }

private:
    std::filesystem::path FRoot;
    std::filesystem::path FPrevious;
};

// Sets (or, with nullopt, removes) an environment variable for a scope.
class TEnvVar {
public:
    TEnvVar(std::string name, const std::optional<std::string>& value);
    ~TEnvVar();
    TEnvVar(const TEnvVar&) = delete;
    TEnvVar& operator=(const TEnvVar&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// Answers through a scripted backend, and runs Observe first each time a
// question is asked (to look at the window at that moment).
class TObservingDialogs : public IDialogs {
public:
    TScriptedDialogs Script;
    std::function<void()> Observe;

    TModalResult MessageDlg(const std::u16string& text, TMsgDlgType type,
                            TMsgDlgButtons buttons) override {
        if (Observe) {
            Observe();
        }
        return Script.MessageDlg(text, type, buttons);
    }
    bool PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                        std::u16string& value) override {
        if (Observe) {
            Observe();
        }
        return Script.PasswordDialog(caption, prompt, value);
    }
    void ShowException(const std::u16string& message) override {
        if (Observe) {
            Observe();
        }
        Script.ShowException(message);
    }
};

} // namespace za::test
