#include "app/AutoPress.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "app/about.h"
#include "app/main.h"

namespace za {

namespace {

constexpr int kSettleMs = 700; // time for the window system to show and paint

} // namespace

std::unique_ptr<TAutoPress> TAutoPress::FromEnvironment(TfmMain& main, IDialogs& inner) {
    if (qEnvironmentVariable("DVK_AUTOPRESS") != QLatin1String("1")) {
        return nullptr;
    }
    return std::make_unique<TAutoPress>(main, inner, qEnvironmentVariable("DVK_SCREENSHOT_DIR"));
}

TAutoPress::TAutoPress(TfmMain& main, IDialogs& inner, QString shotDir)
    : FMain(main), FInner(inner), FShotDir(std::move(shotDir)) {
    if (!FShotDir.isEmpty()) {
        QDir().mkpath(FShotDir);
    }
    FPrevious = SetDialogs(this);
}

TAutoPress::~TAutoPress() {
    SetDialogs(FPrevious);
}

void TAutoPress::Start() {
    QTimer::singleShot(kSettleMs, &FMain, [this] {
        Shot(QStringLiteral("%1-ready.png").arg(FShotNo++), nullptr);
        FMain.btnExtract->click(); // returns when the command has finished
        QTimer::singleShot(kSettleMs, &FMain, [this] { Finish(); });
    });
}

void TAutoPress::Finish() {
    Shot(QStringLiteral("finished.png"), nullptr);
    FMain.N3->trigger();
    QTimer::singleShot(kSettleMs, &FMain, [this] {
        if (FMain.AboutForm() != nullptr) {
            QPixmap about = FMain.AboutForm()->grab();
            if (!FShotDir.isEmpty()) {
                const QString path = QDir(FShotDir).filePath(QStringLiteral("about.png"));
                if (about.save(path)) {
                    std::fprintf(stderr, "screenshot: %s\n", qPrintable(path));
                }
            }
        }
        FMain.close();
    });
}

// Saves the screen area of the main window (and of a box over it).
void TAutoPress::Shot(const QString& name, QWidget* extra) {
    if (FShotDir.isEmpty()) {
        return;
    }
    QRect area = FMain.frameGeometry();
    if (extra != nullptr) {
        area = area.united(extra->frameGeometry());
    }
    QPixmap pixmap;
    if (QScreen* screen = FMain.screen()) {
        pixmap = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    }
    if (pixmap.isNull()) {
        pixmap = FMain.grab();
    }
    const QString path = QDir(FShotDir).filePath(name);
    if (pixmap.save(path)) {
        std::fprintf(stderr, "screenshot: %s\n", qPrintable(path));
    }
}

// Once the question is up: a screenshot, then its default button.
void TAutoPress::AnswerSoon() {
    QTimer::singleShot(kSettleMs, &FMain, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        Shot(QStringLiteral("%1-message.png").arg(FShotNo++), modal);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            // A failed entry is passed over rather than retried for ever.
            QAbstractButton* button = box->button(QMessageBox::Ignore);
            if (button == nullptr) {
                button = box->defaultButton();
            }
            if (button == nullptr && !box->buttons().isEmpty()) {
                button = box->buttons().first();
            }
            if (button != nullptr) {
                button->click();
            }
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    });
}

TModalResult TAutoPress::MessageDlg(const std::u16string& text, TMsgDlgType type,
                                    TMsgDlgButtons buttons) {
    std::fprintf(stderr, "message: %s\n", qPrintable(QString::fromStdU16String(text)));
    AnswerSoon();
    return FInner.MessageDlg(text, type, buttons);
}

bool TAutoPress::PasswordDialog(const std::u16string& caption, const std::u16string& prompt,
                                std::u16string& value) {
    AnswerSoon();
    return FInner.PasswordDialog(caption, prompt, value);
}

void TAutoPress::ShowException(const std::u16string& message) {
    AnswerSoon();
    FInner.ShowException(message);
}

} // namespace za
