// The Update command through the real window: extraction of the update
// archive below the target folder, the status line and progress bar, the
// final message, and the outcome reported after failures, skips and aborts.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <filesystem>
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include <variant>

#include "AppTestSupport.h"
#include "app/QtDialogs.h"
#include "app/main.h"
#include "platform/Path.h"

namespace za {
namespace {

namespace fs = std::filesystem;
using test::kUpdatePassword;
using test::TEnvVar;
using test::TFixtureEntry;
using test::TObservingDialogs;
using test::TSandbox;

constexpr char16_t kSuccess[] = u"Обновление успешно. Работу программы можно завершить...";

std::u16string Incomplete(int missing, int total) {
    return u"Обновление выполнено не полностью: не извлечено файлов: " +
           FromUtf8(std::to_string(missing)) + u" из " + FromUtf8(std::to_string(total)) +
           u". Работу программы можно завершить...";
}

TFixtureEntry Entry(std::string name, std::string data, bool deflate = true) {
    return {std::move(name), std::move(data), deflate, std::string(kUpdatePassword), false};
}

class UpdateCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteFile(Target() / "aboutdvk.htm", "<html>4.11</html>");
        fs::create_directories(sandbox.Root() / "res");
        // Record what the window shows at each event of the archive object.
        form.Archiver->SetOnFileProgress([this](TZABaseArchiver* s, const std::u16string& name,
                                                double p, TZAProcessOperation o,
                                                TZAProgressPhase ph, bool& c) {
            form.ArchiverFileProgress(s, name, p, o, ph, c);
            if (ph == ppStart) {
                statusLines.push_back(U16(form.Label2->text()));
            }
        });
        form.Archiver->SetOnOverallProgress([this](TZABaseArchiver* s, double p,
                                                   TZAProcessOperation o, TZAProgressPhase ph,
                                                   bool& c) {
            form.ArchiverOverallProgress(s, p, o, ph, c);
            positions.push_back(form.pbProgress->value());
        });
        dialogs.Observe = [this] {
            layoutFinishedAtQuestion.push_back(!form.btnExtract->isVisibleTo(&form) &&
                                               form.Button1->geometry() == QRect(8, 243, 329, 43) &&
                                               form.Button1->isEnabled());
        };
    }

    fs::path Target() const { return sandbox.Root() / "allusers/Dravelkin/source/html"; }
    void WriteArchive(const std::vector<TFixtureEntry>& entries) {
        test::WriteFile(sandbox.Root() / "res/gsm.zip", test::BuildZip(entries));
    }
    const TScriptedDialogs::Question& LastQuestion() { return dialogs.Script.questions.back(); }
    void ExpectFinishedUpdated() {
        EXPECT_FALSE(form.btnExtract->isVisibleTo(&form));
        EXPECT_TRUE(form.Button1->isEnabled());
        EXPECT_EQ(form.Button1->geometry(), QRect(8, 243, 329, 43));
        EXPECT_FALSE(form.RadioGroup1->isEnabled());
        EXPECT_FALSE(form.Archiver->Active());
    }

    TSandbox sandbox;
    TEnvVar allUsers{"ALLUSERSPROFILE", (sandbox.Root() / "allusers").string()};
    TObservingDialogs dialogs;
    TDialogsScope dialogsScope{&dialogs};
    TfmMain form{nullptr, 1.0};
    std::vector<std::u16string> statusLines;
    std::vector<int> positions;
    std::vector<bool> layoutFinishedAtQuestion;
};

TEST_F(UpdateCommandTest, ExtractsEveryEntryBelowTheTargetFolder) {
    const std::string index(5000, 'i');
    WriteArchive({Entry("index.htm", index), Entry("pages/about.htm", "<p>about</p>", false),
                  Entry("img/", ""), Entry("img/logo.txt", "logo")});
    test::WriteFile(Target() / "index.htm", "old version");

    form.btnExtract->click();

    EXPECT_EQ(test::ReadFile(Target() / "index.htm"), index);
    EXPECT_EQ(test::ReadFile(Target() / "pages/about.htm"), "<p>about</p>");
    EXPECT_TRUE(fs::is_directory(Target() / "img"));
    EXPECT_EQ(test::ReadFile(Target() / "img/logo.txt"), "logo");
    EXPECT_EQ(test::ReadFile(Target() / "aboutdvk.htm"), "<html>4.11</html>");

    EXPECT_EQ(statusLines, (std::vector<std::u16string>{
                               u"Extracting: index.htm", u"Extracting: pages\\about.htm",
                               u"Extracting: img\\", u"Extracting: img\\logo.txt"}));
    ASSERT_FALSE(positions.empty());
    EXPECT_EQ(positions.front(), 0);
    EXPECT_EQ(positions.back(), 100);
    EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
    EXPECT_EQ(form.pbProgress->value(), 100);

    ASSERT_EQ(dialogs.Script.questions.size(), 1u);
    EXPECT_EQ(LastQuestion().kind, TScriptedDialogs::Question::kMessage);
    EXPECT_EQ(LastQuestion().text, kSuccess);
    EXPECT_EQ(LastQuestion().buttons, mbOKOnly);
    EXPECT_EQ(layoutFinishedAtQuestion, std::vector<bool>{true}) << "layout changes first";
    ExpectFinishedUpdated();
    EXPECT_EQ(form.Archiver->EntriesSelected(), 4);
    EXPECT_EQ(form.Archiver->EntriesExtracted(), 4);
}

TEST_F(UpdateCommandTest, AMissingArchiveLeavesAnEmptyArchiveAndReportsSuccess) {
    form.btnExtract->click();

    const std::string empty = test::ReadFile(sandbox.Root() / "res/gsm.zip");
    ASSERT_EQ(empty.size(), 22u);
    EXPECT_EQ(empty.substr(0, 4), std::string("PK\x05\x06", 4));
    EXPECT_EQ(empty.substr(4), std::string(18, '\0'));
    EXPECT_EQ(positions, (std::vector<int>{0, 100}));
    ASSERT_EQ(dialogs.Script.questions.size(), 1u);
    EXPECT_EQ(LastQuestion().text, kSuccess);
    ExpectFinishedUpdated();
}

// What the user answers, in order.
using Answer =
    std::variant<TModalResult, std::u16string /*typed password*/, std::monostate /*cancel*/>;

struct OutcomeCase {
    const char* name;
    std::vector<TFixtureEntry> entries;
    std::vector<Answer> answers;
    std::vector<std::string> extracted; // entries whose files exist afterwards
    std::vector<std::string> missing;   // entries whose files do not
    std::u16string message;
    std::vector<TScriptedDialogs::Question::Kind> questionKinds; // before the final message
};

TFixtureEntry Damaged(std::string name) {
    TFixtureEntry e = Entry(std::move(name), "damaged data");
    e.WrongCrc = true;
    return e;
}

TFixtureEntry OtherPassword(std::string name, std::string password) {
    TFixtureEntry e = Entry(std::move(name), "under another password");
    e.Password = std::move(password);
    return e;
}

std::vector<OutcomeCase> OutcomeCases() {
    using Q = TScriptedDialogs::Question;
    return {
        {"every entry extracted",
         {Entry("a.txt", "a"), Entry("b.txt", "b"), Entry("c.txt", "c")},
         {},
         {"a.txt", "b.txt", "c.txt"},
         {},
         kSuccess,
         {}},
        {"a failure ignored",
         {Entry("a.txt", "a"), Damaged("b.txt"), Entry("c.txt", "c")},
         {mrIgnore},
         {"a.txt", "c.txt"},
         {"b.txt"},
         Incomplete(1, 3),
         {Q::kMessage}},
        {"a failure retried, then ignored",
         {Entry("a.txt", "a"), Damaged("b.txt"), Entry("c.txt", "c")},
         {mrRetry, mrIgnore},
         {"a.txt", "c.txt"},
         {"b.txt"},
         Incomplete(1, 3),
         {Q::kMessage, Q::kMessage}},
        {"abort at a failure",
         {Entry("a.txt", "a"), Damaged("b.txt"), Entry("c.txt", "c"), Entry("d.txt", "d")},
         {mrAbort},
         {"a.txt"},
         {"b.txt", "c.txt", "d.txt"},
         Incomplete(3, 4),
         {Q::kMessage}},
        {"the failure box closed without an answer aborts",
         {Damaged("a.txt"), Entry("b.txt", "b")},
         {mrClosed},
         {},
         {"a.txt", "b.txt"},
         Incomplete(2, 2),
         {Q::kMessage}},
        {"password question cancelled: the entry is skipped",
         {Entry("a.txt", "a"), OtherPassword("b.txt", "other"), Entry("c.txt", "c")},
         {std::monostate{}},
         {"a.txt", "c.txt"},
         {"b.txt"},
         Incomplete(1, 3),
         {Q::kPassword}},
        {"the right password typed: complete",
         {Entry("a.txt", "a"), OtherPassword("b.txt", "other")},
         {std::u16string(u"other")},
         {"a.txt", "b.txt"},
         {},
         kSuccess,
         {Q::kPassword}},
    };
}

TEST_F(UpdateCommandTest, SuccessOnlyWhenEveryEntryWasExtracted) {
    for (const OutcomeCase& c : OutcomeCases()) {
        SCOPED_TRACE(c.name);
        TSandbox run;
        TEnvVar runUsers("ALLUSERSPROFILE", (run.Root() / "allusers").string());
        const fs::path target = run.Root() / "allusers/Dravelkin/source/html";
        test::WriteFile(target / "aboutdvk.htm", "<html></html>");
        test::WriteFile(run.Root() / "res/gsm.zip", test::BuildZip(c.entries));
        TObservingDialogs runDialogs;
        for (const Answer& a : c.answers) {
            if (const auto* r = std::get_if<TModalResult>(&a)) {
                runDialogs.Script.Push(*r);
            } else if (const auto* p = std::get_if<std::u16string>(&a)) {
                runDialogs.Script.PushPassword(*p);
            } else {
                runDialogs.Script.PushPasswordCancel();
            }
        }
        TDialogsScope scope(&runDialogs);
        TfmMain window(nullptr, 1.0);

        window.btnExtract->click();

        for (const std::string& name : c.extracted) {
            EXPECT_TRUE(fs::is_regular_file(target / name)) << name;
        }
        for (const std::string& name : c.missing) {
            EXPECT_FALSE(fs::exists(target / name)) << name;
        }
        const auto& questions = runDialogs.Script.questions;
        ASSERT_EQ(questions.size(), c.questionKinds.size() + 1);
        for (size_t i = 0; i < c.questionKinds.size(); ++i) {
            EXPECT_EQ(questions[i].kind, c.questionKinds[i]) << i;
            if (questions[i].kind == TScriptedDialogs::Question::kMessage) {
                EXPECT_EQ(questions[i].buttons, mbAbortRetryIgnore);
            } else {
                EXPECT_EQ(questions[i].text, u"Password for \"b.txt\"");
                EXPECT_EQ(questions[i].prompt, u"Enter password: ");
            }
        }
        EXPECT_EQ(questions.back().kind, TScriptedDialogs::Question::kMessage);
        EXPECT_EQ(questions.back().text, c.message);
        EXPECT_EQ(questions.back().buttons, mbOKOnly);
        EXPECT_FALSE(window.btnExtract->isVisibleTo(&window));
        EXPECT_EQ(window.Button1->geometry(), QRect(8, 243, 329, 43));
        EXPECT_FALSE(window.RadioGroup1->isEnabled());
        EXPECT_EQ(window.pbProgress->value(), 100);
    }
}

} // namespace
} // namespace za
