// Helpers shared by the updater's windows: the 96-dpi design scaled to the
// screen, the design fonts, pictures, and the display of an exception that
// escapes an event handler.
#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QStringList>
#include <functional>

#include "app/Artwork.h"

class QWidget;

namespace za {

// The windows are designed at 96 pixels per inch; on another logical DPI
// every bound and font height is scaled by the same factor.
class TDesignScale {
public:
    // factor <= 0: the primary screen's logical DPI / 96.
    explicit TDesignScale(double factor = 0);
    double Factor() const { return FFactor; }
    int operator()(int designPixels) const;
    QRect Rect(int left, int top, int width, int height) const;

private:
    double FFactor;
};

// Families standing in for the design's Tahoma and Times New Roman where
// those are not installed (the Liberation fonts keep their metrics).
QStringList TahomaFamilies();
QStringList TimesNewRomanFamilies();
// A font of the design: character height in design pixels.
QFont DesignFont(const QStringList& families, int pixelHeight, bool bold,
                 const TDesignScale& scale);

// The design's colours.
inline const QColor clBlue{0x00, 0x00, 0xFF};
inline const QColor clRed{0xFF, 0x00, 0x00};
inline const QColor clPurple{0x80, 0x00, 0x80};

void SetFontColor(QWidget* control, const QColor& color);
QColor FontColor(const QWidget* control);

// The window's background is the system's button-face colour.
void UseButtonFaceColor(QWidget* window);

QPixmap PixmapFromPng(const TArtwork& art);

// Moves a top-level window to the centre of its screen's work area.
void CenterOnScreen(QWidget* window);

// Runs an event handler; an exception that escapes it is shown the way the
// application shows escaped exceptions (the dialogs backend's error box).
void RunGuarded(const std::function<void()>& handler);

} // namespace za
