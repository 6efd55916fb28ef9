// The About window TfmAbout: product picture, product name, version and
// release date, a link to the vendor's site and an "Ok" button. It is
// created hidden at program start and shown without blocking the main window.
#pragma once

#include <QLabel>
#include <QWidget>
#include <functional>

#include "app/Forms.h"
#include "app/main.h"

class QPushButton;

namespace za {

// A label that reports the mouse: enter, leave, press, release, and a click
// (left button pressed and released over it).
class TMouseLabel : public QLabel {
public:
    explicit TMouseLabel(QWidget* parent) : QLabel(parent) {}

    std::function<void()> OnClick;
    std::function<void()> OnMouseDown;
    std::function<void()> OnMouseUp;
    std::function<void()> OnMouseEnter;
    std::function<void()> OnMouseLeave;

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool FClickPending = false;
};

class TfmAbout : public QWidget {
public:
    // scale <= 0: the design is scaled to the primary screen's logical DPI.
    explicit TfmAbout(QWidget* parent = nullptr, double scale = 0);

    TMouseLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    TMouseLabel* Label1 = nullptr;
    QPushButton* Button1 = nullptr;

    void SetShellOpen(TShellOpenFn shellOpen) { FShellOpen = std::move(shellOpen); }
    const TDesignScale& Scale() const { return FScale; }

    // Handlers.
    void FormCreate();
    void Label1MouseEnter();
    void Label1MouseLeave();
    void Label1MouseDown();
    void Label1MouseUp();
    void Label1Click();
    void Image1Click();
    void Button1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TDesignScale FScale;
    TShellOpenFn FShellOpen;
    bool FShown = false;
};

} // namespace za
