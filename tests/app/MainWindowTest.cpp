// The main window: its design, menu and button commands, the progress
// handlers, the target-folder routes of the Update command, the not-found
// path and the failure path.
#include <QAction>
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>

#include "QtPrinters.h"
#include <thread>
#include <unistd.h>

#include "AppTestSupport.h"
#include "app/QtDialogs.h"
#include "app/main.h"

namespace za {
namespace {

namespace fs = std::filesystem;
using test::TEnvVar;
using test::TObservingDialogs;
using test::TSandbox;

constexpr char16_t kNotFound[] = u"Программа \"Дравелкин-Медиа\" не найдена...";

struct TShellLog {
    std::vector<std::pair<std::u16string, std::u16string>> Requests;
    TShellOpenFn Fn() {
        return [this](const std::u16string& program, const std::u16string& parameters) {
            Requests.emplace_back(program, parameters);
        };
    }
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() { form.SetShellOpen(shell.Fn()); }

    // Where route 0 looks for the page file with ALLUSERSPROFILE = allusers.
    fs::path DefaultTarget() const { return sandbox.Root() / "allusers/Dravelkin/source/html"; }

    TSandbox sandbox;
    TObservingDialogs dialogs;
    TDialogsScope dialogsScope{&dialogs};
    TShellLog shell;
    TfmMain form{nullptr, 1.0};
};

// --- design ----------------------------------------------------------------

TEST_F(MainWindowTest, ControlsHaveTheirDesignedBoundsAt96Dpi) {
    struct Case {
        const char* name;
        QWidget* control;
        QRect bounds;
    };
    const Case cases[] = {
        {"RadioGroup1", form.RadioGroup1, QRect(8, 62, 328, 80)},
        {"BitBtn1", form.BitBtn1, QRect(8, 148, 325, 42)},
        {"pbProgress", form.pbProgress, QRect(8, 196, 328, 41)},
        {"btnExtract", form.btnExtract, QRect(8, 243, 217, 43)},
        {"Button1", form.Button1, QRect(231, 243, 105, 43)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.control->geometry(), c.bounds) << c.name;
    }
    // Labels size themselves to their text from their designed corner.
    const std::tuple<const char*, QLabel*, QRect> labels[] = {
        {"Label1", form.Label1, QRect(8, 8, 325, 19)},
        {"Label3", form.Label3, QRect(72, 33, 208, 19)},
    };
    for (const auto& [name, label, bounds] : labels) {
        EXPECT_EQ(label->pos(), bounds.topLeft()) << name;
        EXPECT_EQ(label->height(), bounds.height()) << name;
        EXPECT_GE(label->width(), bounds.width()) << name;
    }
    EXPECT_EQ(form.centralWidget()->size(), QSize(342, 296));
    EXPECT_EQ(form.minimumSize(), form.maximumSize()) << "fixed size";
    EXPECT_EQ(form.width(), 342);
    EXPECT_EQ(form.height(), 296 + form.MainMenu1->sizeHint().height());
}

TEST(MainWindowScaleTest, BoundsAndFontsFollowTheLogicalDpi) {
    TfmMain form(nullptr, 1.5);
    EXPECT_EQ(form.btnExtract->geometry(), QRect(12, 365, 326, 65));
    EXPECT_EQ(form.Button1->geometry(), QRect(347, 365, 158, 65));
    EXPECT_EQ(form.btnExtract->font().pixelSize(), 24);
    EXPECT_EQ(form.centralWidget()->size(), QSize(513, 444));
    EXPECT_EQ(form.BitBtn1->iconSize(), QSize(134, 54));
}

TEST_F(MainWindowTest, CaptionsFontsAndContent) {
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Дравелкин-медиа"));
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Обновление программы \"Дравелкин-медиа\""));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("(с версии 4.11 до версии 4.12)"));
    EXPECT_EQ(FontColor(form.Label3), clBlue);
    EXPECT_EQ(form.RadioGroup1->title(),
              QStringLiteral("Выбор пути установки (в случае неккоректной установки)"));
    ASSERT_EQ(form.RadioGroup1->Count(), 2);
    EXPECT_EQ(form.RadioGroup1->Button(0)->text(),
              QStringLiteral("Путь по умолчанию (рекомендуется)"));
    EXPECT_EQ(form.RadioGroup1->Button(1)->text(), QStringLiteral("Windows XP"));
    EXPECT_EQ(form.RadioGroup1->ItemIndex(), 0);
    EXPECT_TRUE(form.Label2->text().isEmpty());
    EXPECT_EQ(form.BitBtn1->text(), QStringLiteral("Наш канал на YouTube"));
    EXPECT_EQ(form.BitBtn1->iconSize(), QSize(89, 36));
    EXPECT_FALSE(form.BitBtn1->icon().isNull());
    EXPECT_EQ(form.btnExtract->text(), QStringLiteral("Обновить"));
    EXPECT_EQ(form.Button1->text(), QStringLiteral("Выход"));
    EXPECT_EQ(form.pbProgress->minimum(), 0);
    EXPECT_EQ(form.pbProgress->maximum(), 100);
    EXPECT_EQ(form.pbProgress->value(), 0);
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_TRUE(form.windowIcon().availableSizes().contains(QSize(64, 64)));

    struct FontCase {
        const char* name;
        QWidget* control;
        int pixels;
        bool bold;
        const char* family; // the design's family, first choice
    };
    const FontCase fonts[] = {
        {"form", &form, 11, false, "Tahoma"},
        {"Label1", form.Label1, 16, true, "Times New Roman"},
        {"Label3", form.Label3, 16, true, "Times New Roman"},
        {"BitBtn1", form.BitBtn1, 16, true, "Tahoma"},
        {"btnExtract", form.btnExtract, 16, true, "Tahoma"},
        {"Button1", form.Button1, 15, true, "Tahoma"},
        {"Label2", form.Label2, 11, false, "Tahoma"},
    };
    for (const FontCase& f : fonts) {
        EXPECT_EQ(f.control->font().pixelSize(), f.pixels) << f.name;
        EXPECT_EQ(f.control->font().bold(), f.bold) << f.name;
        EXPECT_EQ(f.control->font().families().value(0), QLatin1String(f.family)) << f.name;
    }
}

TEST_F(MainWindowTest, TabOrderIsExitPathChoiceProgressUpdateChannel) {
    const std::vector<QWidget*> expected = {form.Button1, form.RadioGroup1->Button(0),
                                            form.RadioGroup1->Button(1), form.btnExtract,
                                            form.BitBtn1};
    std::vector<QWidget*> chain;
    QWidget* w = form.Button1;
    for (int guard = 0; guard < 100 && chain.size() < expected.size(); ++guard) {
        if (std::find(expected.begin(), expected.end(), w) != expected.end()) {
            chain.push_back(w);
        }
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(chain, expected);
    EXPECT_EQ(form.pbProgress->focusPolicy(), Qt::NoFocus);
}

TEST_F(MainWindowTest, MenuHasItsItemsInOrder) {
    const QList<QAction*> bar = form.MainMenu1->actions();
    ASSERT_EQ(bar.size(), 2);
    EXPECT_EQ(bar[0]->menu(), form.N4);
    EXPECT_EQ(bar[1]->menu(), form.N1);
    EXPECT_EQ(form.N4->title(), QStringLiteral("Файл"));
    EXPECT_EQ(form.N1->title(), QStringLiteral("О программе"));
    EXPECT_EQ(form.N4->actions(), (QList<QAction*>{form.N5, form.N6}));
    EXPECT_EQ(form.N1->actions(), (QList<QAction*>{form.N2, form.N3}));
    EXPECT_EQ(form.N5->text(), QStringLiteral("Инструкция по установке"));
    EXPECT_EQ(form.N6->text(), QStringLiteral("Выход"));
    EXPECT_EQ(form.N2->text(), QStringLiteral("Список изменений"));
    EXPECT_EQ(form.N3->text(), QStringLiteral("О программе"));
}

TEST_F(MainWindowTest, ArchiverHasTheDesignedSettings) {
    const TUpdateArchiver& a = *form.Archiver;
    EXPECT_EQ(a.Name(), u"Archiver");
    EXPECT_FALSE(a.ExtractCorruptedFiles());
    EXPECT_EQ(a.CompressionLevel(), clFastest);
    EXPECT_EQ(a.CompressionMode(), 1);
    EXPECT_EQ(a.CurrentVersion(), u"6.60 ");
    EXPECT_EQ(a.SpanningMode(), smNone);
    EXPECT_FALSE(a.SpanningOptions().AdvancedNaming());
    EXPECT_EQ(a.SpanningOptions().FirstVolumeSize(), 0);
    EXPECT_EQ(a.SpanningOptions().VolumeSize(), vsAutoDetect);
    EXPECT_EQ(a.SpanningOptions().CustomVolumeSize(), 65536);
    EXPECT_TRUE(a.Options().FlushBuffers());
    EXPECT_TRUE(a.Options().OEMFileNames());
    EXPECT_EQ(a.Options().OverwriteMode(), omAlways);
    EXPECT_FALSE(a.InMemory());
    EXPECT_TRUE(static_cast<bool>(a.OnFileProgress()));
    EXPECT_TRUE(static_cast<bool>(a.OnOverallProgress()));
    EXPECT_FALSE(static_cast<bool>(a.OnPassword()));
    EXPECT_FALSE(static_cast<bool>(a.OnProcessFileFailure()));
    EXPECT_EQ(a.Zip64Mode(), zmDisabled);
    EXPECT_FALSE(a.UnicodeFilenames());
    EXPECT_EQ(a.EncryptionMethod(), caPkzipClassic);
    EXPECT_FALSE(a.Active());
}

// --- commands ----------------------------------------------------------------

TEST_F(MainWindowTest, DocumentAndChannelCommandsAskTheShell) {
    form.N5->trigger();
    form.N2->trigger();
    form.BitBtn1->click();
    ASSERT_EQ(shell.Requests.size(), 3u);
    EXPECT_EQ(shell.Requests[0].first, u"c:\\windows\\notepad.exe");
    EXPECT_EQ(shell.Requests[0].second, u"res\\Инструкция по установке.txt");
    EXPECT_EQ(shell.Requests[1].first, u"c:\\windows\\notepad.exe");
    EXPECT_EQ(shell.Requests[1].second, u"res\\перечень_изменений.txt");
    EXPECT_EQ(shell.Requests[2].first.rfind(u"https://", 0), 0u);
    EXPECT_NE(shell.Requests[2].first.find(u".example/"), std::u16string::npos);
    EXPECT_TRUE(shell.Requests[2].second.empty());
    EXPECT_TRUE(dialogs.Script.questions.empty());
}

// The real shell request on this platform: the desktop opener receives the
// text document (relative to the current folder) or the web address.
TEST_F(MainWindowTest, ShellRequestsReachTheDesktopOpener) {
    const fs::path bin = sandbox.Root() / "bin";
    const fs::path log = sandbox.Root() / "opened.txt";
    test::WriteFile(bin / "xdg-open",
                    "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + log.string() + "'\n");
    fs::permissions(bin / "xdg-open", fs::perms::owner_all);
    TEnvVar path("PATH", bin.string());
    TfmMain real(nullptr, 1.0); // with the platform's ShellOpen
    real.N5->trigger();
    real.BitBtn1->click();
    std::string opened;
    for (int i = 0; i < 500; ++i) {
        opened = test::ReadFile(log);
        if (std::count(opened.begin(), opened.end(), '\n') >= 2) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_NE(opened.find("res/Инструкция по установке.txt\n"), std::string::npos) << opened;
    EXPECT_NE(opened.find("https://"), std::string::npos) << opened;
}

TEST_F(MainWindowTest, AMissingProgramChangesNothing) {
    const fs::path empty = sandbox.Root() / "nothing-here";
    fs::create_directories(empty);
    TEnvVar path("PATH", empty.string());
    TfmMain real(nullptr, 1.0);
    real.show();
    real.N5->trigger();
    real.N2->trigger();
    real.BitBtn1->click();
    EXPECT_TRUE(real.isVisible());
    EXPECT_TRUE(real.btnExtract->isEnabled());
    EXPECT_TRUE(real.Button1->isEnabled());
    EXPECT_TRUE(dialogs.Script.questions.empty());
}

TEST_F(MainWindowTest, ExitButtonAndMenuItemCloseTheWindow) {
    form.show();
    form.Button1->click();
    EXPECT_FALSE(form.isVisible());
    form.show();
    form.N6->trigger();
    EXPECT_FALSE(form.isVisible());
}

// --- progress handlers ---------------------------------------------------------

TEST_F(MainWindowTest, OverallProgressIsTruncatedTowardZero) {
    const std::pair<double, int> cases[] = {{0, 0}, {42.7, 42}, {99.999, 99}, {100, 100}, {0.5, 0}};
    for (const auto& [progress, position] : cases) {
        bool cancel = false;
        form.ArchiverOverallProgress(nullptr, progress, poExtract, ppProcess, cancel);
        EXPECT_EQ(form.pbProgress->value(), position) << progress;
        EXPECT_FALSE(cancel);
    }
}

TEST_F(MainWindowTest, FileProgressNamesTheEntry) {
    bool cancel = false;
    form.ArchiverFileProgress(nullptr, u"docs\\readme.txt", 0, poExtract, ppStart, cancel);
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Extracting: docs\\readme.txt"));
    EXPECT_FALSE(cancel);
    // The status line sizes itself to its text and lies inside the progress bar.
    EXPECT_EQ(form.Label2->parentWidget(), form.pbProgress);
    EXPECT_GE(form.Label2->width(), form.Label2->sizeHint().width());
    EXPECT_TRUE(form.pbProgress->rect().contains(form.Label2->geometry()));
}

// --- Windows folder ----------------------------------------------------------

TEST(GetWindowsFolderTest, TrimsBlanksAndControlCharacters) {
    const std::pair<std::optional<std::string>, std::u16string> cases[] = {
        {"C:\\Windows", u"C:\\Windows"},
        {"  C:\\WINNT \t\r\n", u"C:\\WINNT"},
        {std::nullopt, u""},
        {"", u""},
        {std::string(1000, 'x'), u""}, // does not fit the 1000-character buffer
    };
    for (const auto& [value, expected] : cases) {
        TEnvVar windir("WINDIR", value);
        EXPECT_EQ(GetWindowsFolder(), expected) << value.value_or("(unset)");
    }
}

// --- routes to the target folder -------------------------------------------------

struct RouteCase {
    const char* name;
    int itemIndex;
    std::optional<std::string> allUsers; // relative to the sandbox
    std::optional<std::string> windir;
    bool driveC;      // ZA_DRIVE_C = sandbox/c
    const char* page; // where the page file is made, relative to the sandbox ("" none)
    bool pageIsFolder;
    bool pageIsLink;
    bool found;
};

const RouteCase kRoutes[] = {
    {"default route", 0, "allusers", std::nullopt, false,
     "allusers/Dravelkin/source/html/aboutdvk.htm", false, false, true},
    {"default route, no page file", 0, "allusers", std::nullopt, false, "", false, false, false},
    {"default route, page file is a folder", 0, "allusers", std::nullopt, false,
     "allusers/Dravelkin/source/html/aboutdvk.htm", true, false, false},
    {"default route, page file is a link to a file", 0, "allusers", std::nullopt, false,
     "allusers/Dravelkin/source/html/aboutdvk.htm", false, true, true},
    {"default route ignores the legacy folder", 0, "allusers", "C:\\Windows", true,
     "c/Documents and Settings/All Users/Application Data/Dravelkin/source/html/aboutdvk.htm",
     false, false, false},
    {"legacy route, C:\\Windows", 1, std::nullopt, "C:\\Windows", true,
     "c/Documents and Settings/All Users/Application Data/Dravelkin/source/html/aboutdvk.htm",
     false, false, true},
    {"legacy route, blanks around the Windows folder", 1, std::nullopt, " C:\\Windows\r\n", true,
     "c/Documents and Settings/All Users/Application Data/Dravelkin/source/html/aboutdvk.htm",
     false, false, true},
    {"legacy route, empty Windows folder: below the current folder", 1, std::nullopt, std::nullopt,
     false, "Documents and Settings/All Users/Application Data/Dravelkin/source/html/aboutdvk.htm",
     false, false, true},
    {"legacy route ignores the profile folder", 1, "allusers", std::nullopt, false,
     "allusers/Dravelkin/source/html/aboutdvk.htm", false, false, false},
    {"no route chosen: the page file in the current folder", -1, "allusers", std::nullopt, false,
     "aboutdvk.htm", false, false, true},
};

TEST_F(MainWindowTest, UpdateLooksForThePageFileWhereTheRouteLeads) {
    for (const RouteCase& c : kRoutes) {
        SCOPED_TRACE(c.name);
        TSandbox route;
        const fs::path root = route.Root();
        TEnvVar allUsers("ALLUSERSPROFILE",
                         c.allUsers ? std::optional<std::string>((root / *c.allUsers).string())
                                    : std::nullopt);
        TEnvVar windir("WINDIR", c.windir);
        TEnvVar driveC("ZA_DRIVE_C",
                       c.driveC ? std::optional<std::string>((root / "c").string()) : std::nullopt);
        fs::create_directories(root / "res");
        if (*c.page != '\0') {
            const fs::path page = root / c.page;
            if (c.pageIsFolder) {
                fs::create_directories(page);
            } else if (c.pageIsLink) {
                test::WriteFile(root / "real-page.htm", "<html></html>");
                fs::create_directories(page.parent_path());
                fs::create_symlink(root / "real-page.htm", page);
            } else {
                test::WriteFile(page, "<html></html>");
            }
        }
        TObservingDialogs routeDialogs;
        TDialogsScope scope(&routeDialogs);
        TfmMain window(nullptr, 1.0);
        window.RadioGroup1->SetItemIndex(c.itemIndex);
        testing::internal::CaptureStdout();
        window.btnExtract->click();
        testing::internal::GetCapturedStdout();

        const bool notFoundAsked = !routeDialogs.Script.questions.empty() &&
                                   routeDialogs.Script.questions.front().text == kNotFound;
        EXPECT_EQ(notFoundAsked, !c.found);
        // The path choice is disabled only once the target was found.
        EXPECT_EQ(window.RadioGroup1->isEnabled(), !c.found);
    }
}

// --- not found -------------------------------------------------------------------

TEST_F(MainWindowTest, NotFoundShowsItsMessageFirstThenReshapesTheButtonRow) {
    TEnvVar allUsers("ALLUSERSPROFILE", (sandbox.Root() / "allusers").string());
    bool extractVisible = false, exitEnabled = true, extractEnabled = true;
    QRect exitBounds;
    dialogs.Observe = [&] {
        extractVisible = form.btnExtract->isVisibleTo(&form);
        extractEnabled = form.btnExtract->isEnabled();
        exitEnabled = form.Button1->isEnabled();
        exitBounds = form.Button1->geometry();
        form.btnExtract->click(); // a second press hits a disabled button
    };
    form.btnExtract->click();

    ASSERT_EQ(dialogs.Script.questions.size(), 1u);
    const auto& q = dialogs.Script.questions[0];
    EXPECT_EQ(q.kind, TScriptedDialogs::Question::kMessage);
    EXPECT_EQ(q.text, kNotFound);
    EXPECT_EQ(q.buttons, mbOKOnly);
    // While the message was up: Working, the row as designed.
    EXPECT_TRUE(extractVisible);
    EXPECT_FALSE(extractEnabled);
    EXPECT_FALSE(exitEnabled);
    EXPECT_EQ(exitBounds, QRect(231, 243, 105, 43));
    // Finished (not found).
    EXPECT_FALSE(form.btnExtract->isVisibleTo(&form));
    EXPECT_TRUE(form.Button1->isEnabled());
    EXPECT_EQ(form.Button1->geometry(), QRect(8, 243, 329, 43));
    EXPECT_TRUE(form.RadioGroup1->isEnabled());
    EXPECT_FALSE(form.Archiver->Active());
    EXPECT_FALSE(fs::exists(sandbox.Root() / "res/gsm.zip")) << "the archive is not touched";
}

// --- failure path -------------------------------------------------------------------

class UpdateFailureTest : public MainWindowTest {
protected:
    UpdateFailureTest() {
        test::WriteFile(DefaultTarget() / "aboutdvk.htm", "<html></html>");
        // No "res" folder: the archive cannot be created.
    }
    void ExpectStuck() {
        EXPECT_FALSE(form.Button1->isEnabled());
        EXPECT_TRUE(form.btnExtract->isVisibleTo(&form));
        EXPECT_FALSE(form.btnExtract->isEnabled());
        EXPECT_FALSE(form.RadioGroup1->isEnabled());
        EXPECT_EQ(form.Button1->geometry(), QRect(231, 243, 105, 43));
    }
    TEnvVar allUsers{"ALLUSERSPROFILE", (sandbox.Root() / "allusers").string()};
};

TEST_F(UpdateFailureTest, AnExceptionIsReportedOnStandardOutputAndLeavesTheWindowStuck) {
    testing::internal::CaptureStdout();
    form.btnExtract->click(); // standard input is at its end: the read returns at once
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("Exception: ", 0), 0u) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_EQ(out.back(), '\n');
    EXPECT_TRUE(dialogs.Script.questions.empty());
    ExpectStuck();
}

TEST_F(UpdateFailureTest, WithoutStandardOutputIOError105ReachesTheErrorBox) {
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    ASSERT_GE(saved, 0);
    close(STDOUT_FILENO);
    form.btnExtract->click();
    dup2(saved, STDOUT_FILENO);
    close(saved);

    ASSERT_EQ(dialogs.Script.questions.size(), 1u);
    EXPECT_EQ(dialogs.Script.questions[0].kind, TScriptedDialogs::Question::kException);
    EXPECT_EQ(dialogs.Script.questions[0].text, u"I/O error 105");
    EXPECT_EQ(ExceptionDisplayText(dialogs.Script.questions[0].text), u"I/O error 105.");
    ExpectStuck();
}

TEST_F(UpdateFailureTest, AnUnreadableStandardInputReachesTheErrorBox) {
    testing::internal::CaptureStdout(); // before closing: it must not take descriptor 0
    const int saved = dup(STDIN_FILENO);
    ASSERT_GE(saved, 0);
    close(STDIN_FILENO);
    form.btnExtract->click();
    const std::string out = testing::internal::GetCapturedStdout();
    dup2(saved, STDIN_FILENO);
    close(saved);

    EXPECT_EQ(out.rfind("Exception: ", 0), 0u);
    ASSERT_EQ(dialogs.Script.questions.size(), 1u);
    EXPECT_EQ(dialogs.Script.questions[0].kind, TScriptedDialogs::Question::kException);
    EXPECT_EQ(dialogs.Script.questions[0].text, u"I/O error 104");
    ExpectStuck();
}

} // namespace
} // namespace za
