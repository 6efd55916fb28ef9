#include "platform/Dialogs.h"

#include <gtest/gtest.h>

namespace za {
namespace {

TEST(DialogsTest, NoBackendMeansClosedBoxes) {
    TDialogsScope none(nullptr);
    EXPECT_EQ(Dialogs(), nullptr);
    EXPECT_EQ(MessageDlg(u"Overwrite?", mtConfirmation, mbYesNoNoToAllYesToAll), mrClosed);
    std::u16string value = u"keep";
    EXPECT_FALSE(PasswordDialog(u"Password for \"a\"", u"Enter password: ", value));
    EXPECT_EQ(value, u"keep");
    ShowException(u"nothing happens");
}

TEST(DialogsTest, ScriptedAnswersInOrderAndRecordsQuestions) {
    TScriptedDialogs script;
    script.Push(mrYesToAll);
    script.PushPassword(u"secret");
    script.PushPasswordCancel();
    script.Push(mrRetry);
    TDialogsScope scope(&script);
    EXPECT_EQ(Dialogs(), &script);
    EXPECT_EQ(script.Pending(), 4u);

    EXPECT_EQ(
        MessageDlg(u"Overwrite file \"b\" with \"a\"", mtConfirmation, mbYesNoNoToAllYesToAll),
        mrYesToAll);
    std::u16string pw = u"initial";
    EXPECT_TRUE(PasswordDialog(u"Password for \"x.txt\"", u"Enter password: ", pw));
    EXPECT_EQ(pw, u"secret");
    std::u16string pw2 = u"unchanged";
    EXPECT_FALSE(PasswordDialog(u"Password for \"y.txt\"", u"Enter password: ", pw2));
    EXPECT_EQ(pw2, u"unchanged");
    ShowException(u"I/O error 105."); // takes no answer
    EXPECT_EQ(MessageDlg(u"failure", mtConfirmation, mbAbortRetryIgnore), mrRetry);
    EXPECT_EQ(script.Pending(), 0u);
    // Queue used up: the closing answer.
    EXPECT_EQ(MessageDlg(u"again", mtWarning, mbOKCancel), mrClosed);
    std::u16string pw3;
    EXPECT_FALSE(PasswordDialog(u"c", u"p", pw3));

    ASSERT_EQ(script.questions.size(), 7u);
    const auto& q = script.questions;
    EXPECT_EQ(q[0].kind, TScriptedDialogs::Question::kMessage);
    EXPECT_EQ(q[0].text, u"Overwrite file \"b\" with \"a\"");
    EXPECT_EQ(q[0].type, mtConfirmation);
    EXPECT_EQ(q[0].buttons, mbYesNoNoToAllYesToAll);
    EXPECT_EQ(q[1].kind, TScriptedDialogs::Question::kPassword);
    EXPECT_EQ(q[1].text, u"Password for \"x.txt\"");
    EXPECT_EQ(q[1].prompt, u"Enter password: ");
    EXPECT_EQ(q[1].value, u"initial");
    EXPECT_EQ(q[3].kind, TScriptedDialogs::Question::kException);
    EXPECT_EQ(q[3].text, u"I/O error 105.");
    EXPECT_EQ(q[4].buttons, mbAbortRetryIgnore);
    EXPECT_EQ(q[5].buttons, mbOKCancel);
}

TEST(DialogsTest, ScopeRestoresPreviousBackend) {
    TScriptedDialogs a, b;
    TDialogsScope sa(&a);
    {
        TDialogsScope sb(&b);
        EXPECT_EQ(Dialogs(), &b);
    }
    EXPECT_EQ(Dialogs(), &a);
}

TEST(DialogsTest, ButtonSets) {
    EXPECT_EQ(mbYesNoNoToAllYesToAll, Btn(mbYes) | Btn(mbNo) | Btn(mbNoToAll) | Btn(mbYesToAll));
    EXPECT_EQ(mbOKCancel, 0x000C);
    EXPECT_EQ(mbAbortRetryIgnore, 0x0070);
}

} // namespace
} // namespace za
