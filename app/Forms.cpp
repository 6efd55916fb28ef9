#include "app/Forms.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>

#include <cmath>
#include <exception>

#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/Path.h"

namespace za {

TDesignScale::TDesignScale(double factor) : FFactor(factor) {
    if (FFactor <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const double dpi = screen != nullptr ? screen->logicalDotsPerInchY() : 96.0;
        FFactor = dpi > 0 ? dpi / 96.0 : 1.0;
    }
}

int TDesignScale::operator()(int designPixels) const {
    return static_cast<int>(std::lround(designPixels * FFactor));
}

QRect TDesignScale::Rect(int left, int top, int width, int height) const {
    return QRect((*this)(left), (*this)(top), (*this)(width), (*this)(height));
}

QStringList TahomaFamilies() {
    return {QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
            QStringLiteral("DejaVu Sans")};
}

QStringList TimesNewRomanFamilies() {
    return {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
            QStringLiteral("Tinos"), QStringLiteral("DejaVu Serif")};
}

QFont DesignFont(const QStringList& families, int pixelHeight, bool bold,
                 const TDesignScale& scale) {
    QFont font;
    font.setFamilies(families);
    font.setPixelSize(scale(pixelHeight));
    font.setBold(bold);
    return font;
}

void SetFontColor(QWidget* control, const QColor& color) {
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    palette.setColor(QPalette::ButtonText, color);
    control->setPalette(palette);
}

QColor FontColor(const QWidget* control) {
    return control->palette().color(QPalette::WindowText);
}

void UseButtonFaceColor(QWidget* window) {
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

QPixmap PixmapFromPng(const TArtwork& art) {
    QPixmap pixmap;
    pixmap.loadFromData(art.Data, static_cast<uint>(art.Size), "PNG");
    return pixmap;
}

void CenterOnScreen(QWidget* window) {
    QScreen* screen = window->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void RunGuarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const Exception& e) {
        ShowException(e.Message());
    } catch (const std::exception& e) {
        ShowException(FromUtf8(e.what()));
    }
}

} // namespace za
