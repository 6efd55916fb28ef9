// The Qt dialogs backend: message boxes with exact button sets and results,
// the password dialog in dialog units, and the error box of an exception.
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "ModalHelpers.h"
#include "app/QtDialogs.h"

namespace za {
namespace {

using test::WhenModal;

TEST(MulDivTest, RoundsToTheNearestWholeNumber) {
    struct Case {
        int a, b, c, expected;
    };
    const Case cases[] = {
        {8, 7, 4, 14}, {180, 6, 4, 270}, {63, 13, 8, 102}, {41, 13, 8, 67},
        {5, 1, 2, 3},  {-5, 1, 2, -3},   {7, 3, -2, -11},  {1, 1, 0, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.a << "*" << c.b << "/" << c.c;
    }
}

struct ButtonSetCase {
    const char* name;
    TMsgDlgButtons buttons;
    std::vector<std::pair<QMessageBox::StandardButton, TModalResult>> expected;
};

const ButtonSetCase kButtonSets[] = {
    {"OK", mbOKOnly, {{QMessageBox::Ok, mrOk}}},
    {"OK and Cancel", mbOKCancel, {{QMessageBox::Ok, mrOk}, {QMessageBox::Cancel, mrCancel}}},
    {"Yes, No, No to all, Yes to all",
     mbYesNoNoToAllYesToAll,
     {{QMessageBox::Yes, mrYes},
      {QMessageBox::No, mrNo},
      {QMessageBox::NoToAll, mrNoToAll},
      {QMessageBox::YesToAll, mrYesToAll}}},
    {"Abort, Retry, Ignore",
     mbAbortRetryIgnore,
     {{QMessageBox::Abort, mrAbort},
      {QMessageBox::Retry, mrRetry},
      {QMessageBox::Ignore, mrIgnore}}},
    {"Abort, Ignore",
     mbAbortIgnore,
     {{QMessageBox::Abort, mrAbort}, {QMessageBox::Ignore, mrIgnore}}},
};

TEST(QtMessageBoxTest, ShowsExactlyTheButtonsOfEachSet) {
    for (const ButtonSetCase& set : kButtonSets) {
        SCOPED_TRACE(set.name);
        auto box = BuildMessageBox(QStringLiteral("Title"), QStringLiteral("Text"), mtConfirmation,
                                   set.buttons);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Title"));
        EXPECT_EQ(box->text(), QStringLiteral("Text"));
        ASSERT_EQ(box->buttons().size(), static_cast<qsizetype>(set.expected.size()));
        for (const auto& [standard, result] : set.expected) {
            EXPECT_NE(box->button(standard), nullptr) << int(standard);
        }
    }
}

TEST(QtMessageBoxTest, DefaultButtonIsOkElseYesElseRetry) {
    const std::pair<TMsgDlgButtons, QMessageBox::StandardButton> cases[] = {
        {mbOKOnly, QMessageBox::Ok},
        {mbOKCancel, QMessageBox::Ok},
        {mbYesNoNoToAllYesToAll, QMessageBox::Yes},
        {mbAbortRetryIgnore, QMessageBox::Retry},
        {mbAbortIgnore, QMessageBox::Abort},
    };
    for (const auto& [buttons, standard] : cases) {
        auto box =
            BuildMessageBox(QStringLiteral("T"), QStringLiteral("x"), mtConfirmation, buttons);
        EXPECT_EQ(box->defaultButton(), box->button(standard)) << buttons;
    }
}

TEST(QtMessageBoxTest, EachButtonGivesItsModalResult) {
    TQtDialogs dialogs(QStringLiteral("Updater"));
    for (const ButtonSetCase& set : kButtonSets) {
        for (const auto& [standard, result] : set.expected) {
            SCOPED_TRACE(std::string(set.name) + " / " + std::to_string(int(standard)));
            QString title;
            WhenModal([&, standard = standard](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                title = box->windowTitle();
                box->button(standard)->click();
            });
            EXPECT_EQ(dialogs.MessageDlg(u"Question", mtConfirmation, set.buttons), result);
            EXPECT_EQ(title, QStringLiteral("Updater"));
        }
    }
}

TEST(QtMessageBoxTest, EscapeOnOkCancelAnswersCancel) {
    TQtDialogs dialogs;
    WhenModal([](QWidget* modal) {
        ASSERT_NE(modal, nullptr);
        QTest::keyClick(modal, Qt::Key_Escape);
    });
    EXPECT_EQ(dialogs.MessageDlg(u"Insert the disk", mtConfirmation, mbOKCancel), mrCancel);
}

TEST(QtMessageBoxTest, IconFollowsTheMessageType) {
    const std::pair<TMsgDlgType, QMessageBox::Icon> cases[] = {
        {mtWarning, QMessageBox::Warning},         {mtError, QMessageBox::Critical},
        {mtInformation, QMessageBox::Information}, {mtConfirmation, QMessageBox::Question},
        {mtCustom, QMessageBox::NoIcon},
    };
    for (const auto& [type, icon] : cases) {
        auto box = BuildMessageBox(QStringLiteral("T"), QStringLiteral("x"), type, mbOKOnly);
        EXPECT_EQ(box->icon(), icon) << int(type);
    }
}

TEST(QtMessageBoxTest, CaptionIsTheApplicationTitleByDefault) {
    EXPECT_EQ(TQtDialogs().Title(), QGuiApplication::applicationDisplayName());
    EXPECT_EQ(TQtDialogs(QStringLiteral("Own")).Title(), QStringLiteral("Own"));
}

// --- password dialog -------------------------------------------------------

TEST(QtPasswordDialogTest, IsLaidOutInDialogUnitsOfItsFont) {
    TPasswordDialogParts parts =
        BuildPasswordDialog(QStringLiteral("Password for \"a/b.txt\""),
                            QStringLiteral("Enter password: "), QStringLiteral("old"));
    const QFontMetrics metrics(parts.Form->font());
    const int avg = metrics.horizontalAdvance(
                        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) /
                    52;
    const int height = metrics.height();
    ASSERT_GT(avg, 0);
    EXPECT_EQ(parts.HorzUnit4, avg);
    EXPECT_EQ(parts.VertUnit8, height);
    const auto dx = [&](int u) { return MulDiv(u, avg, 4); };
    const auto dy = [&](int u) { return MulDiv(u, height, 8); };

    EXPECT_EQ(parts.Form->windowTitle(), QStringLiteral("Password for \"a/b.txt\""));
    EXPECT_EQ(parts.Form->size(), QSize(dx(180), dy(63)));
    EXPECT_EQ(parts.Form->minimumSize(), parts.Form->maximumSize()) << "dialog border: fixed size";
    EXPECT_TRUE(parts.Form->isModal());

    EXPECT_EQ(parts.Prompt->text(), QStringLiteral("Enter password: "));
    EXPECT_EQ(parts.Prompt->pos(), QPoint(dx(8), dy(8)));

    EXPECT_EQ(parts.Edit->x(), parts.Prompt->x());
    EXPECT_EQ(parts.Edit->y(), dy(19));
    EXPECT_EQ(parts.Edit->width(), dx(164));
    EXPECT_EQ(parts.Edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(parts.Edit->maxLength(), 255);
    EXPECT_EQ(parts.Edit->text(), QStringLiteral("old"));
    EXPECT_EQ(parts.Edit->selectedText(), QStringLiteral("old"));

    EXPECT_EQ(parts.OkButton->text(), QStringLiteral("OK"));
    EXPECT_EQ(parts.OkButton->geometry(), QRect(dx(38), dy(41), dx(50), dy(14)));
    EXPECT_TRUE(parts.OkButton->isDefault());
    EXPECT_EQ(parts.CancelButton->text(), QStringLiteral("Cancel"));
    EXPECT_EQ(parts.CancelButton->geometry(), QRect(dx(92), dy(41), dx(50), dy(14)));
    EXPECT_FALSE(parts.CancelButton->isDefault());
}

TEST(QtPasswordDialogTest, ShowsAStarForEveryCharacter) {
    TPasswordDialogParts parts =
        BuildPasswordDialog(QStringLiteral("P"), QStringLiteral("Enter password: "), QString());
    parts.Form->show();
    QTest::keyClicks(parts.Edit, QStringLiteral("abc"));
    EXPECT_EQ(parts.Edit->text(), QStringLiteral("abc"));
    EXPECT_EQ(parts.Edit->displayText(), QStringLiteral("***"));
}

TEST(QtPasswordDialogTest, EnterConfirmsWithTheTypedTextReplacingTheSelection) {
    TQtDialogs dialogs;
    WhenModal([](QWidget* modal) {
        ASSERT_NE(modal, nullptr);
        auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("Edit"));
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, QStringLiteral("secret"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    std::u16string value = u"old";
    EXPECT_TRUE(dialogs.PasswordDialog(u"Password for \"x\"", u"Enter password: ", value));
    EXPECT_EQ(value, u"secret");
}

TEST(QtPasswordDialogTest, EscapeAndCancelKeepTheValue) {
    TQtDialogs dialogs;
    for (const bool useEscape : {true, false}) {
        WhenModal([useEscape](QWidget* modal) {
            ASSERT_NE(modal, nullptr);
            auto* edit = modal->findChild<QLineEdit*>(QStringLiteral("Edit"));
            QTest::keyClicks(edit, QStringLiteral("typed"));
            if (useEscape) {
                QTest::keyClick(edit, Qt::Key_Escape);
            } else {
                modal->findChild<QPushButton*>(QStringLiteral("CancelButton"))->click();
            }
        });
        std::u16string value = u"old";
        EXPECT_FALSE(dialogs.PasswordDialog(u"Password for \"x\"", u"Enter password: ", value));
        EXPECT_EQ(value, u"old");
    }
}

TEST(QtPasswordDialogTest, AcceptsAtMost255Characters) {
    TPasswordDialogParts parts = BuildPasswordDialog(QStringLiteral("P"), QStringLiteral("p"),
                                                     QString(300, QLatin1Char('v')));
    EXPECT_EQ(parts.Edit->text().size(), 255);
}

// --- escaped exceptions ------------------------------------------------------

TEST(QtExceptionDisplayTest, AppendsAFullStop) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"I/O error 105", u"I/O error 105."},
        {u"Invalid archive file.", u"Invalid archive file."},
        {u"", u""},
        {u"Archiver: File name is blank. Specify appropriate file name - Native error: 00009",
         u"Archiver: File name is blank. Specify appropriate file name - Native error: 00009."},
    };
    for (const auto& [message, shown] : cases) {
        EXPECT_EQ(ExceptionDisplayText(message), shown);
    }
}

TEST(QtExceptionDisplayTest, ShowsAnErrorBoxWithTheApplicationTitle) {
    TQtDialogs dialogs;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    qsizetype buttons = 0;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->buttons().size();
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.ShowException(u"I/O error 105");
    EXPECT_EQ(text, QStringLiteral("I/O error 105."));
    EXPECT_EQ(title, dialogs.Title());
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, 1);
}

} // namespace
} // namespace za
