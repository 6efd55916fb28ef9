// The About window: its design, the link's colours and underline through
// the mouse, its shell requests, showing it from the main window, and the
// end of the program when the main window closes.
#include <QAction>
#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include "AppTestSupport.h"
#include "app/about.h"
#include "app/main.h"

namespace za {
namespace {

struct TShellLog {
    std::vector<std::u16string> Opened;
    TShellOpenFn Fn() {
        return [this](const std::u16string& program, const std::u16string& parameters) {
            EXPECT_TRUE(parameters.empty());
            Opened.push_back(program);
        };
    }
};

enum Mouse { Enter, Leave, LeftDown, LeftUpInside, LeftUpOutside, RightDown, RightUpInside };

void Send(QWidget* w, Mouse m) {
    const QPointF inside(3, 3);
    const QPointF outside(-20, w->height() + 20);
    switch (m) {
    case Enter: {
        QEnterEvent e(inside, w->mapToGlobal(inside), w->mapToGlobal(inside));
        QApplication::sendEvent(w, &e);
        break;
    }
    case Leave: {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(w, &e);
        break;
    }
    case LeftDown:
    case RightDown: {
        const Qt::MouseButton b = m == LeftDown ? Qt::LeftButton : Qt::RightButton;
        QMouseEvent e(QEvent::MouseButtonPress, inside, w->mapToGlobal(inside), b, b, {});
        QApplication::sendEvent(w, &e);
        break;
    }
    case LeftUpInside:
    case LeftUpOutside:
    case RightUpInside: {
        const Qt::MouseButton b = m == RightUpInside ? Qt::RightButton : Qt::LeftButton;
        const QPointF at = m == LeftUpOutside ? outside : inside;
        QMouseEvent e(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), b, Qt::NoButton, {});
        QApplication::sendEvent(w, &e);
        break;
    }
    }
}

class AboutWindowTest : public ::testing::Test {
protected:
    AboutWindowTest() {
        about.SetShellOpen(shell.Fn());
        main.SetShellOpen([](const std::u16string&, const std::u16string&) {});
        main.SetAboutForm(&about);
    }
    ~AboutWindowTest() override {
        about.hide();
        main.hide();
    }
    TScriptedDialogs dialogs;
    TDialogsScope scope{&dialogs};
    TShellLog shell;
    TfmMain main{nullptr, 1.0};
    TfmAbout about{nullptr, 1.0};
};

TEST_F(AboutWindowTest, HasItsDesign) {
    EXPECT_EQ(about.windowTitle(), QStringLiteral("О программе"));
    EXPECT_EQ(about.size(), QSize(439, 141));
    EXPECT_NE(about.minimumSize(), about.maximumSize()) << "sizeable border";
    EXPECT_FALSE(about.isVisible()) << "created hidden";
    EXPECT_FALSE(about.testAttribute(Qt::WA_QuitOnClose));

    struct Case {
        const char* name;
        QLabel* label;
        QRect bounds;
        const char* text;
        int pixels;
        bool bold;
    };
    const Case labels[] = {
        {"Label2", about.Label2, QRect(143, 8, 285, 19), "Обновление мультимедийной программы", 16,
         false},
        {"Label3", about.Label3, QRect(143, 33, 175, 19), "Дравелкин-Медиа v.4.12", 16, true},
        {"Label4", about.Label4, QRect(143, 58, 134, 19), "Релиз от 01.09.2018", 16, false},
    };
    for (const Case& c : labels) {
        EXPECT_EQ(c.label->geometry(), c.bounds) << c.name;
        EXPECT_EQ(c.label->text(), QString::fromUtf8(c.text)) << c.name;
        EXPECT_EQ(c.label->font().pixelSize(), c.pixels) << c.name;
        EXPECT_EQ(c.label->font().bold(), c.bold) << c.name;
        EXPECT_EQ(c.label->font().families().value(0), QStringLiteral("Times New Roman"));
    }
    EXPECT_EQ(about.Label1->pos(), QPoint(147, 109));
    EXPECT_EQ(about.Label1->height(), 19);
    EXPECT_EQ(about.Label1->font().pixelSize(), 17);
    EXPECT_TRUE(about.Label1->text().contains(QStringLiteral("dravelkin.example")));
    EXPECT_EQ(about.Image1->geometry(), QRect(8, 8, 120, 120));
    EXPECT_TRUE(about.Image1->hasScaledContents());
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(120, 120));
    EXPECT_EQ(about.Button1->geometry(), QRect(348, 108, 83, 25));
    EXPECT_EQ(about.Button1->text(), QStringLiteral("Ok"));
    EXPECT_EQ(about.font().pixelSize(), 11);
    // FormCreate: the link starts blue and plain.
    EXPECT_EQ(FontColor(about.Label1), clBlue);
    EXPECT_FALSE(about.Label1->font().underline());
}

TEST_F(AboutWindowTest, LinkFollowsTheMouse) {
    struct Case {
        const char* name;
        std::vector<Mouse> events;
        QColor color;
        bool underline;
        size_t opened;
    };
    const Case cases[] = {
        {"pointing underlines", {Enter}, clBlue, true, 0},
        {"leaving removes the underline", {Enter, Leave}, clBlue, false, 0},
        {"pressed is red", {Enter, LeftDown}, clRed, true, 0},
        {"a click ends red and opens the site", {Enter, LeftDown, LeftUpInside}, clRed, true, 1},
        {"a click, then leaving", {Enter, LeftDown, LeftUpInside, Leave}, clRed, false, 1},
        {"dragged off before release stays purple",
         {Enter, LeftDown, Leave, LeftUpOutside},
         clPurple,
         false,
         0},
        {"right button: down and up, no click", {RightDown, RightUpInside}, clPurple, false, 0},
        {"two clicks", {LeftDown, LeftUpInside, LeftDown, LeftUpInside}, clRed, false, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TShellLog log;
        TfmAbout window(nullptr, 1.0);
        window.SetShellOpen(log.Fn());
        window.show();
        for (Mouse m : c.events) {
            Send(window.Label1, m);
        }
        EXPECT_EQ(FontColor(window.Label1), c.color);
        EXPECT_EQ(window.Label1->font().underline(), c.underline);
        EXPECT_EQ(log.Opened.size(), c.opened);
        for (const std::u16string& url : log.Opened) {
            EXPECT_EQ(url, u"https://dravelkin.example/");
        }
    }
}

TEST_F(AboutWindowTest, UnderlineComesAndGoesWithoutTouchingOtherStyles) {
    QFont bold = about.Label1->font();
    bold.setBold(true);
    about.Label1->setFont(bold);
    Send(about.Label1, Enter);
    EXPECT_TRUE(about.Label1->font().underline());
    Send(about.Label1, Leave);
    EXPECT_FALSE(about.Label1->font().underline());
    EXPECT_TRUE(about.Label1->font().bold());
}

TEST_F(AboutWindowTest, PictureOpensTheProductSite) {
    about.show();
    Send(about.Image1, LeftDown);
    Send(about.Image1, LeftUpInside);
    ASSERT_EQ(shell.Opened.size(), 1u);
    EXPECT_EQ(shell.Opened[0], u"https://media.dravelkin.example/");
}

TEST_F(AboutWindowTest, IsShownOnceHoweverOftenChosen) {
    main.show();
    main.N3->trigger();
    main.N3->trigger();
    EXPECT_TRUE(about.isVisible());
    int aboutWindows = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (dynamic_cast<TfmAbout*>(w) != nullptr && w->isVisible()) {
            ++aboutWindows;
        }
    }
    EXPECT_EQ(aboutWindows, 1);
    EXPECT_TRUE(main.isVisible()) << "modeless: the main window stays";
    EXPECT_FALSE(about.isModal());
}

TEST_F(AboutWindowTest, ReopenedWindowKeepsItsState) {
    main.show();
    main.N3->trigger();
    Send(about.Label1, Enter);
    Send(about.Label1, LeftDown);
    Send(about.Label1, LeftUpInside);
    about.Button1->click(); // "Ok" hides it
    EXPECT_FALSE(about.isVisible());
    main.N3->trigger();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(FontColor(about.Label1), clRed);
    EXPECT_TRUE(about.Label1->font().underline());

    about.close(); // the close box
    EXPECT_FALSE(about.isVisible());
    main.N3->trigger();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(FontColor(about.Label1), clRed);
}

TEST_F(AboutWindowTest, ClosingTheMainWindowEndsTheProgram) {
    main.show();
    main.N3->trigger();
    ASSERT_TRUE(about.isVisible());
    bool timedOut = false;
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, &main, [this] { main.Button1->click(); });
    QTimer safety;
    safety.setSingleShot(true);
    QObject::connect(&safety, &QTimer::timeout, [&] {
        timedOut = true;
        QApplication::exit(1);
    });
    safety.start(5000);
    const int rc = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);
    EXPECT_FALSE(timedOut);
    EXPECT_EQ(rc, 0);
    EXPECT_FALSE(main.isVisible());
}

} // namespace
} // namespace za
