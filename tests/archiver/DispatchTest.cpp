// The event dispatchers with their defaults (through the scripted dialogs
// backend) and the failure protocol around one entry attempt.
#include <gtest/gtest.h>

#include <stdexcept>

#include "ArchiverTestUtil.h"
#include "archiver/ZipArchiver.h"
#include "platform/CodePage.h"
#include "platform/Dialogs.h"

namespace za {
namespace {

// Opens the protected parts the tests drive directly.
class TTestArchiver : public TZipArchiver {
public:
    using TZABaseArchiver::MakeVolumeFileName;
    using TZABaseArchiver::ProcessWithFailureProtocol;
};

class Dispatch : public ::testing::Test {
protected:
    Dispatch() : Scope(&Dialogs) { Arc.SetName(u"Archiver"); }
    TScriptedDialogs Dialogs;
    TDialogsScope Scope;
    TTestArchiver Arc;
};

TEST_F(Dispatch, ProgressEvents) {
    bool cancel = true;
    Arc.DoFileProgress(u"docs/readme.txt", 0, poExtract, ppStart, cancel);
    EXPECT_FALSE(cancel);
    cancel = true;
    Arc.DoOverallProgress(0, poExtract, ppStart, cancel);
    EXPECT_FALSE(cancel);

    std::u16string seen;
    Arc.SetOnFileProgress([&](TZABaseArchiver* s, const std::u16string& name, double progress,
                              TZAProcessOperation op, TZAProgressPhase phase, bool& c) {
        EXPECT_EQ(s, &Arc);
        EXPECT_EQ(progress, 42.5);
        EXPECT_EQ(op, poTest);
        EXPECT_EQ(phase, ppProcess);
        EXPECT_TRUE(c); // passed through unchanged
        seen = name;
    });
    Arc.DoFileProgress(u"docs/readme.txt", 42.5, poTest, ppProcess, cancel = true);
    EXPECT_EQ(seen, u"docs\\readme.txt");
    EXPECT_TRUE(cancel);

    Arc.SetOnOverallProgress(
        [&](TZABaseArchiver*, double p, TZAProcessOperation, TZAProgressPhase, bool& c) {
            EXPECT_EQ(p, 100);
            EXPECT_TRUE(c);
            c = false;
        });
    Arc.DoOverallProgress(100, poExtract, ppEnd, cancel = true);
    EXPECT_FALSE(cancel);

    // The copy progress clears the flag before its handler sees it.
    Arc.SetOnCopyTempFileProgress(
        [&](TZABaseArchiver*, double, TZAProgressPhase, bool& c) { EXPECT_FALSE(c); });
    Arc.DoCopyTempFileProgress(50, ppProcess, cancel = true);
    EXPECT_FALSE(cancel);
    EXPECT_TRUE(Dialogs.questions.empty());
}

TEST_F(Dispatch, ConfirmOverwriteDefaultAsks) {
    struct Case {
        TModalResult answer;
        bool confirm;
        TZAOverwriteMode mode;
    };
    const Case cases[] = {
        {mrYes, true, omPrompt},      {mrNo, false, omPrompt},     {mrNoToAll, false, omNever},
        {mrYesToAll, true, omAlways}, {mrCancel, false, omPrompt},
    };
    for (const Case& c : cases) {
        Arc.Options().SetOverwriteMode(omPrompt);
        Dialogs.questions.clear();
        Dialogs.Push(c.answer);
        std::u16string dest = u"C:\\out\\a.txt";
        bool confirm = true;
        Arc.DoConfirmOverwrite(u"a.txt", dest, confirm);
        EXPECT_EQ(confirm, c.confirm) << c.answer;
        EXPECT_EQ(Arc.Options().OverwriteMode(), c.mode) << c.answer;
        ASSERT_EQ(Dialogs.questions.size(), 1u);
        EXPECT_EQ(Dialogs.questions[0].text, u"Overwrite file \"C:\\out\\a.txt\" with \"a.txt\"");
        EXPECT_EQ(Dialogs.questions[0].buttons, mbYesNoNoToAllYesToAll);
        EXPECT_EQ(Dialogs.questions[0].type, mtConfirmation);
    }
    // A handler gets the caller's values and may change the destination.
    Arc.SetOnConfirmOverwrite(
        [](TZABaseArchiver*, const std::u16string& src, std::u16string& dst, bool& c) {
            EXPECT_EQ(src, u"a.txt");
            EXPECT_FALSE(c);
            dst = u"C:\\out\\b.txt";
            c = true;
        });
    std::u16string dest = u"C:\\out\\a.txt";
    bool confirm = false;
    Arc.DoConfirmOverwrite(u"a.txt", dest, confirm);
    EXPECT_TRUE(confirm);
    EXPECT_EQ(dest, u"C:\\out\\b.txt");
}

TEST_F(Dispatch, ConfirmProcessFile) {
    bool confirm = false;
    Arc.DoConfirmProcessFile(u"a.txt", poExtract, confirm);
    EXPECT_TRUE(confirm);
    Arc.SetOnConfirmProcessFile(
        [](TZABaseArchiver*, const std::u16string&, TZAProcessOperation op, bool& c) {
            EXPECT_TRUE(c);
            EXPECT_EQ(op, poTest);
            c = false;
        });
    Arc.DoConfirmProcessFile(u"a.txt", poTest, confirm);
    EXPECT_FALSE(confirm);
}

TEST_F(Dispatch, PasswordDefaultAsksWithTheDialog) {
    ASSERT_TRUE(SetCodePages(866, 1251));
    Dialogs.PushPassword(u"\u0441\u0435\u043A\u0440\u0435\u0442"); // "секрет"
    std::string password = "old";
    bool skip = true;
    Arc.DoPassword(u"docs/a.txt", password, skip);
    EXPECT_FALSE(skip);
    EXPECT_EQ(password, "\xF1\xE5\xEA\xF0\xE5\xF2"); // the same word in code page 1251
    ASSERT_EQ(Dialogs.questions.size(), 1u);
    EXPECT_EQ(Dialogs.questions[0].kind, TScriptedDialogs::Question::kPassword);
    EXPECT_EQ(Dialogs.questions[0].text, u"Password for \"docs/a.txt\"");
    EXPECT_EQ(Dialogs.questions[0].prompt, u"Enter password: ");
    EXPECT_EQ(Dialogs.questions[0].value, u"");

    Dialogs.PushPasswordCancel();
    password = "kept";
    Arc.DoPassword(u"a.txt", password, skip);
    EXPECT_TRUE(skip);
    EXPECT_EQ(password, "kept");

    Arc.SetOnPassword([](TZABaseArchiver*, const std::u16string& name, std::string& p, bool& s) {
        EXPECT_EQ(name, u"docs/a.txt"); // the stored form
        EXPECT_EQ(p, "kept");
        EXPECT_TRUE(s);
        p = "new";
        s = false;
    });
    Arc.DoPassword(u"docs/a.txt", password, skip);
    EXPECT_EQ(password, "new");
    EXPECT_FALSE(skip);
    EXPECT_EQ(Dialogs.questions.size(), 2u);
}

TEST_F(Dispatch, ProcessFileFailureDefaults) {
    const std::u16string msg19 =
        EZAException(19, {std::u16string(u"C:\\out\\a.txt")}, &Arc).Message();
    ASSERT_EQ(msg19, u"Archiver: Cannot create file \"C:\\out\\a.txt\" - Native error: 00019");
    const std::u16string msg61 = EZAException(61, {std::u16string(u"x")}, &Arc).Message();
    struct Case {
        int32_t native;
        const std::u16string* message;
        TModalResult answer; // mrNone: no question expected
        TZAAction action;
        std::u16string text;
        TMsgDlgButtons buttons;
    };
    const Case cases[] = {
        {19, &msg19, mrRetry, fxaRetry, msg19 + u". File processing error, possibly disk is full",
         mbAbortRetryIgnore},
        {19, &msg19, mrIgnore, fxaIgnore, msg19 + u". File processing error, possibly disk is full",
         mbAbortRetryIgnore},
        {19, &msg19, mrAbort, fxaAbort, msg19 + u". File processing error, possibly disk is full",
         mbAbortRetryIgnore},
        {19, &msg19, mrCancel, fxaAbort, msg19 + u". File processing error, possibly disk is full",
         mbAbortRetryIgnore},
        {61, &msg61, mrIgnore, fxaIgnore, msg61, mbAbortIgnore},
        {61, &msg61, mrAbort, fxaAbort, msg61, mbAbortIgnore},
        {45, &msg19, mrNone, fxaAbort, u"", 0},
    };
    for (const Case& c : cases) {
        Dialogs.questions.clear();
        if (c.answer != mrNone) {
            Dialogs.Push(c.answer);
        }
        TZAAction action = fxaRetry;
        Arc.DoProcessFileFailure(u"a.txt", poExtract, c.native, 9, *c.message, action);
        EXPECT_EQ(action, c.action) << c.native << "/" << c.answer;
        if (c.answer == mrNone) {
            EXPECT_TRUE(Dialogs.questions.empty());
            continue;
        }
        ASSERT_EQ(Dialogs.questions.size(), 1u);
        EXPECT_EQ(Dialogs.questions[0].text, c.text);
        EXPECT_EQ(Dialogs.questions[0].buttons, c.buttons);
        EXPECT_EQ(Dialogs.questions[0].type, mtConfirmation);
    }
    // A handler decides alone, starting from fxaIgnore.
    Arc.SetOnProcessFileFailure([](TZABaseArchiver*, const std::u16string& name,
                                   TZAProcessOperation op, int32_t native, int32_t code,
                                   const std::u16string& message, TZAAction& a) {
        EXPECT_EQ(name, u"a.txt");
        EXPECT_EQ(op, poTest);
        EXPECT_EQ(native, 45);
        EXPECT_EQ(code, 24);
        EXPECT_EQ(message, u"m");
        EXPECT_EQ(a, fxaIgnore);
        a = fxaRetry;
    });
    TZAAction action = fxaAbort;
    Arc.DoProcessFileFailure(u"a.txt", poTest, 45, 24, u"m", action);
    EXPECT_EQ(action, fxaRetry);
}

TEST_F(Dispatch, FailureProtocol) {
    struct Case {
        const char* title;
        int failures; // attempts that fail before one succeeds (-1: all)
        int32_t native;
        std::vector<TZAAction> answers;   // the handler's answers in order (empty: no handler)
        std::vector<TModalResult> dialog; // default dialog answers
        int attempts;
        TZAAction result;
        size_t questions;
    };
    const Case cases[] = {
        {"success", 0, 19, {}, {}, 1, fxaIgnore, 0},
        {"retry until success", 3, 19, {fxaRetry, fxaRetry, fxaRetry}, {}, 4, fxaIgnore, 0},
        {"retry then ignore", -1, 19, {fxaRetry, fxaRetry, fxaIgnore}, {}, 3, fxaIgnore, 0},
        {"abort", -1, 19, {fxaAbort}, {}, 1, fxaAbort, 0},
        {"default retry then ignore", -1, 8, {}, {mrRetry, mrIgnore}, 2, fxaIgnore, 2},
        {"default closed box aborts", -1, 8, {}, {}, 1, fxaAbort, 1},
        {"cancelled volume aborts silently", -1, 45, {}, {}, 1, fxaAbort, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        TTestArchiver a;
        a.SetName(u"Archiver");
        Dialogs.questions.clear();
        for (TModalResult r : c.dialog) {
            Dialogs.Push(r);
        }
        size_t answer = 0;
        if (!c.answers.empty()) {
            a.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string& name,
                                          TZAProcessOperation op, int32_t native, int32_t,
                                          const std::u16string& message, TZAAction& act) {
                EXPECT_EQ(name, u"docs\\a.txt");
                EXPECT_EQ(op, poExtract);
                EXPECT_EQ(native, c.native);
                EXPECT_EQ(message, EZAException(native, &a).Message());
                ASSERT_LT(answer, c.answers.size());
                act = c.answers[answer++];
            });
        }
        int attempts = 0;
        const TZAAction result = a.ProcessWithFailureProtocol(u"docs\\a.txt", poExtract, [&] {
            ++attempts;
            if (c.failures < 0 || attempts <= c.failures) {
                throw EZAException(c.native, &a);
            }
        });
        EXPECT_EQ(attempts, c.attempts);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(answer, c.answers.size());
        EXPECT_EQ(Dialogs.questions.size(), c.questions);
        EXPECT_EQ(Dialogs.Pending(), 0u);
    }
}

TEST_F(Dispatch, FailureProtocolLetsOtherExceptionsThrough) {
    int calls = 0;
    Arc.SetOnProcessFileFailure([&](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                    int32_t, int32_t, const std::u16string&,
                                    TZAAction&) { ++calls; });
    EXPECT_THROW(
        Arc.ProcessWithFailureProtocol(u"a", poExtract, [] { throw EFCreateError(u"disk"); }),
        EFCreateError);
    EXPECT_THROW(
        Arc.ProcessWithFailureProtocol(u"a", poExtract, [] { throw std::runtime_error("x"); }),
        std::runtime_error);
    EXPECT_EQ(calls, 0);
    // An exception of the handler itself passes through as well.
    Arc.SetOnProcessFileFailure([](TZABaseArchiver*, const std::u16string&, TZAProcessOperation,
                                   int32_t, int32_t, const std::u16string&,
                                   TZAAction&) { throw std::logic_error("handler"); });
    EXPECT_THROW(
        Arc.ProcessWithFailureProtocol(u"a", poExtract, [&] { throw EZAException(8, &Arc); }),
        std::logic_error);
}

class VolumeDispatch : public test::ScratchDirTest {
protected:
    VolumeDispatch() : Scope(&Dialogs) {}
    void SetUp() override {
        ScratchDirTest::SetUp();
        Arc.SetName(u"Archiver");
        Arc.SetFileName(u"backup.zip");
    }
    TScriptedDialogs Dialogs;
    TDialogsScope Scope;
    TTestArchiver Arc;
};

TEST_F(VolumeDispatch, BlankVolume) {
    int32_t seen = 0;
    Arc.SetOnRequestBlankVolume([&](TZABaseArchiver*, int32_t n, std::u16string& name, bool& c) {
        seen = n;
        EXPECT_FALSE(c);
        EXPECT_EQ(name, u"backup.Z01");
    });
    Arc.SetSpanningMode(smSplitting);
    std::u16string name = u"backup.zip";
    bool cancel = true;
    Arc.DoRequestBlankVolume(-1, name, cancel);
    EXPECT_EQ(seen, 1);
    EXPECT_FALSE(cancel);

    Arc.SetOnRequestBlankVolume(nullptr);
    Arc.DoRequestBlankVolume(2, name, cancel);
    EXPECT_FALSE(cancel);
    EXPECT_TRUE(Dialogs.questions.empty()); // only spanned sets ask

    Arc.SetSpanningMode(smSpanning);
    Dialogs.Push(mrOk);
    Dialogs.Push(mrCancel);
    Arc.DoRequestBlankVolume(-1, name, cancel);
    EXPECT_FALSE(cancel);
    Arc.DoRequestBlankVolume(4, name, cancel);
    EXPECT_TRUE(cancel);
    ASSERT_EQ(Dialogs.questions.size(), 2u);
    EXPECT_EQ(Dialogs.questions[0].text, u"Please insert a blank disk #1");
    EXPECT_EQ(Dialogs.questions[1].text, u"Please insert a blank disk #5");
    EXPECT_EQ(Dialogs.questions[1].buttons, mbOKCancel);
}

TEST_F(VolumeDispatch, FirstLastAndMiddleVolumes) {
    // Not spanned: no questions; a missing volume cancels.
    Arc.SetSpanningMode(smSplitting);
    std::u16string name = u"backup.zip";
    bool cancel = false;
    Arc.DoRequestFirstVolume(name, cancel);
    EXPECT_EQ(name, u"backup.Z01");
    EXPECT_TRUE(cancel);
    test::WriteNative(Native("backup.Z01"), "x");
    Arc.DoRequestFirstVolume(name = u"backup.zip", cancel);
    EXPECT_FALSE(cancel);
    Arc.DoRequestMiddleVolume(1, name = u"backup.zip", cancel);
    EXPECT_EQ(name, u"backup.Z02");
    EXPECT_TRUE(cancel);
    Arc.DoRequestLastVolume(name = u"backup.zip", cancel);
    EXPECT_EQ(name, u"backup.zip");
    EXPECT_TRUE(cancel);
    EXPECT_TRUE(Dialogs.questions.empty());

    // Spanned: the disk prompts.
    Arc.SetSpanningMode(smSpanning);
    Dialogs.Push(mrOk);
    Arc.DoRequestFirstVolume(name = u"backup.zip", cancel);
    EXPECT_FALSE(cancel);
    Dialogs.Push(mrOk);
    Arc.DoRequestMiddleVolume(2, name, cancel);
    EXPECT_FALSE(cancel);
    // The last disk: asked again while the file is missing, until cancelled.
    Dialogs.Push(mrOk);
    Dialogs.Push(mrOk);
    Dialogs.Push(mrCancel);
    Arc.DoRequestLastVolume(name = u"backup.zip", cancel);
    EXPECT_TRUE(cancel);
    ASSERT_EQ(Dialogs.questions.size(), 5u);
    EXPECT_EQ(Dialogs.questions[0].text, u"Please insert the first disk");
    EXPECT_EQ(Dialogs.questions[1].text, u"Please insert disk #3");
    EXPECT_EQ(Dialogs.questions[2].text, u"Please insert the last disk");
    EXPECT_EQ(Dialogs.questions[3].text,
              u"File 'backup.zip' not found on inserted disk. Please insert last disk with "
              u"required file");
    EXPECT_EQ(Dialogs.questions[4].text, Dialogs.questions[3].text);
    for (const auto& q : Dialogs.questions) {
        EXPECT_EQ(q.buttons, mbOKCancel);
    }

    // Handlers get the number plus one.
    int32_t seen = 0;
    Arc.SetOnRequestMiddleVolume([&](TZABaseArchiver*, int32_t n, std::u16string&, bool& c) {
        seen = n;
        EXPECT_FALSE(c);
    });
    Arc.DoRequestMiddleVolume(2, name, cancel = true);
    EXPECT_EQ(seen, 3);
    EXPECT_FALSE(cancel);
}

TEST_F(VolumeDispatch, DiskFull) {
    bool cancel = true;
    std::u16string message;
    try {
        Arc.DoDiskFull(0, u"backup.zip", cancel);
        ADD_FAILURE() << "no exception";
    } catch (const EZAException& e) {
        EXPECT_EQ(e.NativeError(), 65);
        message = e.Message();
    }
    EXPECT_EQ(message, u"Archiver: Disk is full. There is not enough free space on disk. - Native "
                       u"error: 00065");
    EXPECT_FALSE(cancel);

    Arc.SetSpanningMode(smSpanning);
    Arc.SpanningOptions().SetVolumeSize(vs1_44MB);
    Dialogs.Push(mrOk);
    Arc.DoDiskFull(1, u"backup.zip", cancel);
    EXPECT_FALSE(cancel);
    ASSERT_EQ(Dialogs.questions.size(), 1u);
    const std::u16string prefix =
        u"Disk is full. Required free space: 1457664 bytes, but available only: ";
    EXPECT_EQ(Dialogs.questions[0].text.substr(0, prefix.size()), prefix);
    const std::u16string suffix = u" bytes. Clean the disk or find another blank disk";
    EXPECT_EQ(Dialogs.questions[0].text.substr(Dialogs.questions[0].text.size() - suffix.size()),
              suffix);
    EXPECT_EQ(Dialogs.questions[0].buttons, mbOKCancel);

    int32_t seen = 0;
    Arc.SetOnDiskFull([&](TZABaseArchiver*, int32_t n, const std::u16string&, bool&) { seen = n; });
    Arc.DoDiskFull(0, u"backup.zip", cancel);
    EXPECT_EQ(seen, 1);
}

TEST_F(Dispatch, StoreAndExtractFileNames) {
    std::u16string name = u"docs/a.txt";
    int32_t attr = 0x20;
    std::string comment = "c";
    Arc.DoStoreFile(name, attr, comment, u"C:\\src\\a.txt");
    EXPECT_EQ(name, u"docs/a.txt");
    Arc.SetOnStoreFile([](TZABaseArchiver*, std::u16string& n, int32_t& a, std::string& c,
                          const std::u16string& original) {
        EXPECT_EQ(n, u"docs\\a.txt");
        EXPECT_EQ(original, u"C:\\src\\a.txt");
        n = u"new\\b.txt";
        a = 0x21;
        c = "d";
    });
    Arc.DoStoreFile(name, attr, comment, u"C:\\src\\a.txt");
    EXPECT_EQ(name, u"new/b.txt");
    EXPECT_EQ(attr, 0x21);
    EXPECT_EQ(comment, "d");

    uint32_t fattr = 0x20;
    name = u"docs/sub/c.txt";
    Arc.DoExtractFile(name, fattr, "c");
    EXPECT_EQ(name, u"docs\\sub\\c.txt");
    Arc.SetOnExtractFile(
        [](TZABaseArchiver*, std::u16string& n, uint32_t& a, const std::string& c) {
            EXPECT_EQ(n, u"x\\y.txt");
            EXPECT_EQ(c, "c");
            n = u"z.txt";
            a = 1;
        });
    name = u"x/y.txt";
    Arc.DoExtractFile(name, fattr, "c");
    EXPECT_EQ(name, u"z.txt");
    EXPECT_EQ(fattr, 1u);

    // The volume failure event: arguments through, nothing by default.
    bool cancel = false;
    Arc.DoProcessVolumeFailure(poExtract, 2, u"v", cancel);
    EXPECT_FALSE(cancel);
    Arc.SetOnProcessVolumeFailure(
        [](TZABaseArchiver*, TZAProcessOperation, int32_t n, const std::u16string& v, bool& c) {
            EXPECT_EQ(n, 2);
            EXPECT_EQ(v, u"v");
            c = true;
        });
    Arc.DoProcessVolumeFailure(poExtract, 2, u"v", cancel);
    EXPECT_TRUE(cancel);
}

TEST_F(VolumeDispatch, VolumeFileNames) {
    struct Case {
        const char16_t* fileName;
        TZASpanningMode mode;
        bool advanced;
        const char16_t* sfxStub;
        int32_t volume;
        const char16_t* expected;
    };
    const Case cases[] = {
        {u"C:\\data\\backup.zip", smSplitting, false, u"", 0, u"C:\\data\\backup.Z01"},
        {u"C:\\data\\backup.zip", smSplitting, false, u"", 9, u"C:\\data\\backup.Z10"},
        {u"C:\\data\\backup.zip", smSplitting, false, u"", 99, u"C:\\data\\backup.Z100"},
        {u"C:\\data\\backup.zip", smSplitting, true, u"", 1, u"C:\\data\\backup_002.zip"},
        // The last volume keeps the name it is given (FileName, in every caller).
        {u"C:\\data\\backup.zip", smSplitting, false, u"", -1, u"unchanged"},
        {u"C:\\data\\backup.zip", smSplitting, false, u"stub.exe", 0, u"C:\\data\\backup.exe"},
        {u"setup.exe", smSplitting, false, u"", -1, u"setup.ZIP"},
        {u"setup.exe", smSplitting, false, u"", 0, u"setup.exe"},
        {u"C:\\data\\backup.zip", smSpanning, false, u"", 3, u"C:\\data\\backup.zip"},
        {u"C:\\data\\backup.zip", smSpanning, true, u"", 11, u"C:\\data\\backup_012.zip"},
        {u"C:\\data\\backup.zip", smSpanning, true, u"stub.exe", 0, u"C:\\data\\backup_001.exe"},
        {u"C:\\data\\backup.zip", smNone, true, u"", 3, u"unchanged"},
    };
    for (const Case& c : cases) {
        Arc.SetFileName(c.fileName);
        Arc.SetSpanningMode(c.mode);
        Arc.SpanningOptions().SetAdvancedNaming(c.advanced);
        Arc.SetSFXStub(c.sfxStub);
        std::u16string name = u"unchanged";
        Arc.MakeVolumeFileName(name, c.volume, false);
        EXPECT_EQ(name, c.expected) << ToUtf8(c.fileName) << " " << c.volume;
    }
    // Spanned with a check: the other naming scheme when only that file exists.
    Arc.SetSFXStub(u"");
    Arc.SetFileName(u"backup.zip");
    Arc.SetSpanningMode(smSpanning);
    Arc.SpanningOptions().SetAdvancedNaming(false);
    test::WriteNative(Native("backup_003.zip"), "x");
    std::u16string name;
    Arc.MakeVolumeFileName(name, 2, true);
    EXPECT_EQ(name, u"backup_003.zip");
    Arc.MakeVolumeFileName(name, 3, true);
    EXPECT_EQ(name, u"backup.zip");
}

} // namespace
} // namespace za
