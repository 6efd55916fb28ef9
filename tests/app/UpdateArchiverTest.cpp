// The tally of TUpdateArchiver, driven through the archive object's own
// dispatchers in the order an extraction run fires them.
#include <gtest/gtest.h>

#include "app/UpdateArchiver.h"
#include "platform/Dialogs.h"

namespace za {
namespace {

// Sets the run's entry count the way ProcessTaggedFiles does before its events.
class TRunArchiver : public TUpdateArchiver {
public:
    void BeginRun(int32_t count) { FProcessedFileCount = count; }
};

enum Step : uint8_t { RunStart, RunEnd, FileStart, FileEnd, PasswordCancel, PasswordTyped };

struct TallyCase {
    const char* name;
    int32_t entries;
    std::vector<Step> steps;
    int32_t extracted;
    int32_t skipped;
    int32_t notExtracted;
};

const TallyCase kCases[] = {
    {"every entry finished",
     3,
     {RunStart, FileStart, FileEnd, FileStart, FileEnd, FileStart, FileEnd, RunEnd},
     3,
     0,
     0},
    {"a failure ignored: no closing file event",
     3,
     {RunStart, FileStart, FileEnd, FileStart, FileStart, FileEnd, RunEnd},
     2,
     0,
     1},
    {"a failure retried until it worked",
     2,
     {RunStart, FileStart, FileStart, FileEnd, FileStart, FileEnd, RunEnd},
     2,
     0,
     0},
    {"abort after the first of four",
     4,
     {RunStart, FileStart, FileEnd, FileStart, RunEnd},
     1,
     0,
     3},
    {"password question cancelled",
     2,
     {RunStart, FileStart, PasswordCancel, FileEnd, FileStart, FileEnd, RunEnd},
     1,
     1,
     1},
    {"password typed after a wrong one",
     1,
     {RunStart, FileStart, PasswordTyped, FileEnd, RunEnd},
     1,
     0,
     0},
    {"a skip does not carry over to the next entry",
     3,
     {RunStart, FileStart, PasswordCancel, FileEnd, FileStart, FileEnd, FileStart, FileEnd, RunEnd},
     2,
     1,
     1},
    {"an empty archive", 0, {RunStart, RunEnd}, 0, 0, 0},
};

TEST(UpdateArchiverTest, CountsWhatTheRunDidWithItsEntries) {
    for (const TallyCase& c : kCases) {
        SCOPED_TRACE(c.name);
        TScriptedDialogs dialogs;
        TDialogsScope scope(&dialogs);
        TRunArchiver archiver;
        archiver.BeginRun(c.entries);
        bool cancel = false;
        for (Step step : c.steps) {
            std::string password = "old";
            bool skip = false;
            switch (step) {
            case RunStart:
                archiver.DoOverallProgress(0, poExtract, ppStart, cancel);
                break;
            case RunEnd:
                archiver.DoOverallProgress(100, poExtract, ppEnd, cancel);
                break;
            case FileStart:
                archiver.DoFileProgress(u"a.txt", 0, poExtract, ppStart, cancel);
                break;
            case FileEnd:
                archiver.DoFileProgress(u"a.txt", 100, poExtract, ppEnd, cancel);
                break;
            case PasswordCancel:
                dialogs.PushPasswordCancel();
                archiver.DoPassword(u"a.txt", password, skip);
                EXPECT_TRUE(skip);
                break;
            case PasswordTyped:
                dialogs.PushPassword(u"right");
                archiver.DoPassword(u"a.txt", password, skip);
                EXPECT_FALSE(skip);
                EXPECT_EQ(password, "right");
                break;
            }
        }
        EXPECT_EQ(archiver.EntriesSelected(), c.entries);
        EXPECT_EQ(archiver.EntriesExtracted(), c.extracted);
        EXPECT_EQ(archiver.EntriesSkipped(), c.skipped);
        EXPECT_EQ(archiver.EntriesNotExtracted(), c.notExtracted);
    }
}

TEST(UpdateArchiverTest, EventsOfOtherOperationsAreNotCounted) {
    TRunArchiver archiver;
    archiver.BeginRun(2);
    bool cancel = false;
    archiver.DoOverallProgress(0, poTest, ppStart, cancel);
    archiver.DoFileProgress(u"a.txt", 0, poTest, ppStart, cancel);
    archiver.DoFileProgress(u"a.txt", 100, poTest, ppEnd, cancel);
    EXPECT_EQ(archiver.EntriesSelected(), 0);
    EXPECT_EQ(archiver.EntriesExtracted(), 0);
}

TEST(UpdateArchiverTest, HandlersStillReceiveTheEvents) {
    TRunArchiver archiver;
    std::vector<std::u16string> names;
    std::vector<double> overall;
    archiver.SetOnFileProgress([&](TZABaseArchiver* sender, const std::u16string& name, double,
                                   TZAProcessOperation, TZAProgressPhase, bool&) {
        EXPECT_EQ(sender, &archiver);
        names.push_back(name);
    });
    archiver.SetOnOverallProgress([&](TZABaseArchiver*, double progress, TZAProcessOperation,
                                      TZAProgressPhase, bool&) { overall.push_back(progress); });
    archiver.BeginRun(1);
    bool cancel = false;
    archiver.DoOverallProgress(0, poExtract, ppStart, cancel);
    archiver.DoFileProgress(u"docs/readme.txt", 0, poExtract, ppStart, cancel);
    archiver.DoOverallProgress(100, poExtract, ppEnd, cancel);
    EXPECT_EQ(names, std::vector<std::u16string>{u"docs\\readme.txt"});
    EXPECT_EQ(overall, (std::vector<double>{0, 100}));
}

} // namespace
} // namespace za
