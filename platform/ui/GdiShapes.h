#pragma once
// Drawing helpers with the conventions of the program's drawing code: rectangles whose right and
// bottom are exclusive (QRect::right() is inclusive: convert only through these), lines that do
// not paint their end point, colours as 0x00BBGGRR values, fonts sized in tenths of a point at
// 96 dots per inch, measured and elided text, and clip regions put back on leaving a scope.
//
// Plain functions; a QPainter belongs to the thread that paints with it.
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QHash>
#include <QPair>
#include <QStaticText>
#include <QPainter>
#include <QRect>
#include <QString>
#include <cstdint>

#include "platform/core/WinTypes.h"

namespace platform::ui {

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;   // exclusive
    LONG bottom = 0;  // exclusive

    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    friend bool operator==(const RECT& a, const RECT& b) {
        return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
    }
};

QRect ToQRect(const RECT& r);
RECT FromQRect(const QRect& r);
// Left and top inclusive, right and bottom exclusive.
bool PtInRect(const RECT& r, int x, int y);

constexpr COLORREF RGB(int r, int g, int b) {
    return static_cast<COLORREF>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
QColor ToQColor(COLORREF colour);
COLORREF FromQColor(const QColor& colour);

// A face asked for by name; its pixel size is the point size at 96 dpi (9 pt -> 12 px).
QFont PointFont(const QString& face, int tenthsOfPoint, bool bold = false);
int PointToPixels(int tenthsOfPoint);

// Fills [left, right) x [top, bottom).
void FillSolidRect(QPainter& painter, const RECT& r, COLORREF colour);
// A 1-pixel line from (x1, y1) towards (x2, y2), the end point itself left unpainted.
void DrawLineTo(QPainter& painter, int x1, int y1, int x2, int y2, COLORREF colour);
// A rectangle outlined with a 1-pixel pen and filled, corners rounded with an ellipse of
// cornerW x cornerH; the outline lies inside [left, right) x [top, bottom).
void RoundRect(QPainter& painter, const RECT& r, int cornerW, int cornerH, COLORREF pen, COLORREF fill);

// A font with the widths of the texts measured in it so far, for drawings that measure the same
// labels again and again (a month of times and titles): each text is shaped for its width once.
// One thread: the painting one.
class RMeasuredFont {
public:
    explicit RMeasuredFont(const QFont& font);
    const QFont& Font() const { return font_; }
    int Height() const { return metrics_.height(); }
    // The text's advance on one line (no mnemonic processing).
    int Width(const QString& text);
    QSize Measure(const QString& text) { return QSize(Width(text), Height()); }
    // The text cut to fit `width` pixels with an ellipsis at the end (whole when it fits).
    QString Elide(const QString& text, int width);
    // The text laid out on one line in the font, kept for drawing it again.
    const QStaticText& Prepared(const QString& text);

private:
    QFont font_;
    QFontMetrics metrics_;
    QHash<QString, int> widths_;
    QHash<QString, QStaticText> prepared_;
    QHash<QPair<QString, int>, QString> elided_;  // by text and width
};

// The size the text takes on one line in the font (no mnemonic processing).
QSize MeasureText(const QFont& font, const QString& text);
// The text cut to fit `width` pixels with an ellipsis at the end (whole when it fits).
QString ElideText(const QFont& font, const QString& text, int width);

enum TextFlags : unsigned {
    kTextLeft = 0,
    kTextRight = 1,
    kTextCentre = 2,
    kTextVCentre = 4,
    kTextEndEllipsis = 8,
    kTextNoClip = 16,
};
// One line of text in the rectangle, top-aligned unless kTextVCentre; clipped to the rectangle
// unless kTextNoClip; '&' is always shown as it stands.
void DrawTextIn(QPainter& painter, const QString& text, const RECT& r, unsigned flags, const QFont& font,
                COLORREF colour);
// The same, measuring through the font's kept widths.
void DrawTextIn(QPainter& painter, const QString& text, const RECT& r, unsigned flags, RMeasuredFont& font,
                COLORREF colour);

// Restricts painting to a rectangle and puts the previous clip back when it leaves its scope.
class ScopedClip {
public:
    ScopedClip(QPainter& painter, const RECT& r);
    ~ScopedClip();
    ScopedClip(const ScopedClip&) = delete;
    ScopedClip& operator=(const ScopedClip&) = delete;

private:
    QPainter& painter_;
    bool hadClip_;
    QRegion oldClip_;
};

}  // namespace platform::ui
