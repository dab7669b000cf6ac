#include "platform/ui/GdiShapes.h"

#include <QFontMetrics>
#include <QPen>
#include <cmath>

namespace platform::ui {

QRect ToQRect(const RECT& r) { return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top)); }

RECT FromQRect(const QRect& r) { return RECT{r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }

bool PtInRect(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

QColor ToQColor(COLORREF colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

COLORREF FromQColor(const QColor& colour) { return RGB(colour.red(), colour.green(), colour.blue()); }

int PointToPixels(int tenthsOfPoint) { return static_cast<int>(std::lround(tenthsOfPoint * 96.0 / 720.0)); }

QFont PointFont(const QString& face, int tenthsOfPoint, bool bold) {
    QFont font(face);
    font.setPixelSize(std::max(1, PointToPixels(tenthsOfPoint)));
    font.setBold(bold);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

void FillSolidRect(QPainter& painter, const RECT& r, COLORREF colour) {
    if (r.IsEmpty()) return;
    painter.fillRect(ToQRect(r), ToQColor(colour));
}

void DrawLineTo(QPainter& painter, int x1, int y1, int x2, int y2, COLORREF colour) {
    if (x1 == x2 && y1 == y2) return;
    // Only horizontal and vertical lines are drawn by the program; they are filled as 1-pixel
    // rectangles, so no pen geometry can move them by half a pixel.
    const QColor c = ToQColor(colour);
    if (y1 == y2) {
        const int from = std::min(x1, x2 + (x2 < x1 ? 1 : 0));
        const int to = x2 < x1 ? x1 + 1 : x2;  // exclusive
        painter.fillRect(QRect(from, y1, to - from, 1), c);
    } else if (x1 == x2) {
        const int from = std::min(y1, y2 + (y2 < y1 ? 1 : 0));
        const int to = y2 < y1 ? y1 + 1 : y2;
        painter.fillRect(QRect(x1, from, 1, to - from), c);
    } else {
        painter.save();
        painter.setPen(QPen(c, 1));
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawLine(x1, y1, x2, y2);
        painter.restore();
    }
}

void RoundRect(QPainter& painter, const RECT& r, int cornerW, int cornerH, COLORREF pen, COLORREF fill) {
    if (r.IsEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(ToQColor(pen), 1));
    painter.setBrush(ToQColor(fill));
    // A 1-pixel outline of a w x h rectangle covers the pixels of a (w-1) x (h-1) path.
    painter.drawRoundedRect(QRectF(r.left, r.top, r.Width() - 1, r.Height() - 1), cornerW / 2.0, cornerH / 2.0);
    painter.restore();
}

namespace {

// Measured texts kept per font before it starts afresh: labels of a month come to a few hundred.
constexpr qsizetype kMostMeasuredTexts = 4096;

}  // namespace

RMeasuredFont::RMeasuredFont(const QFont& font) : font_(font), metrics_(font) {}

int RMeasuredFont::Width(const QString& text) {
    if (const auto known = widths_.constFind(text); known != widths_.cend()) return known.value();
    if (widths_.size() >= kMostMeasuredTexts) widths_.clear();
    const int width = metrics_.horizontalAdvance(text);
    widths_.insert(text, width);
    return width;
}

const QStaticText& RMeasuredFont::Prepared(const QString& text) {
    if (const auto known = prepared_.constFind(text); known != prepared_.cend()) return known.value();
    if (prepared_.size() >= kMostMeasuredTexts) prepared_.clear();
    QStaticText prepared(text);
    prepared.setTextFormat(Qt::PlainText);
    prepared.setPerformanceHint(QStaticText::AggressiveCaching);
    prepared.prepare(QTransform(), font_);
    return prepared_.insert(text, prepared).value();
}

QString RMeasuredFont::Elide(const QString& text, int width) {
    // A box sized from the same measurement holds the whole text: elision rounds differently.
    if (Width(text) <= width) return text;
    const QPair<QString, int> key(text, width);
    if (const auto known = elided_.constFind(key); known != elided_.cend()) return known.value();
    if (elided_.size() >= kMostMeasuredTexts) elided_.clear();
    QString cut = metrics_.elidedText(text, Qt::ElideRight, std::max(0, width));
    elided_.insert(key, cut);
    return cut;
}

QSize MeasureText(const QFont& font, const QString& text) { return RMeasuredFont(font).Measure(text); }

QString ElideText(const QFont& font, const QString& text, int width) { return RMeasuredFont(font).Elide(text, width); }

namespace {

// `keepLayout`: whether left and top aligned text is drawn from the layout kept with the font.
void DrawTextLine(QPainter& painter, const QString& text, const RECT& r, unsigned flags, RMeasuredFont& font,
                  COLORREF colour, bool keepLayout) {
    int align = Qt::TextSingleLine;
    align |= (flags & kTextRight) ? Qt::AlignRight : (flags & kTextCentre) ? Qt::AlignHCenter : Qt::AlignLeft;
    align |= (flags & kTextVCentre) ? Qt::AlignVCenter : Qt::AlignTop;
    const QString shown = (flags & kTextEndEllipsis) ? font.Elide(text, r.Width()) : text;
    painter.save();
    painter.setFont(font.Font());
    painter.setPen(ToQColor(colour));
    QRect box = ToQRect(r);
    // Left and top aligned text, the usual case, is drawn from its laid-out form kept with the
    // font, so a label drawn again is not laid out again.
    if (keepLayout && (flags & (kTextRight | kTextCentre | kTextVCentre)) == 0) {
        if ((flags & kTextNoClip) == 0) painter.setClipRect(box, Qt::IntersectClip);
        painter.drawStaticText(box.topLeft(), font.Prepared(shown));
    } else if (flags & kTextNoClip) {
        const QSize size = font.Measure(shown);
        box.setWidth(std::max(box.width(), size.width()));
        box.setHeight(std::max(box.height(), size.height()));
        if (flags & kTextRight) box.moveRight(ToQRect(r).right());
        painter.drawText(box, align | Qt::TextDontClip, shown);
    } else {
        painter.setClipRect(box, Qt::IntersectClip);
        painter.drawText(box, align, shown);
    }
    painter.restore();
}

}  // namespace

void DrawTextIn(QPainter& painter, const QString& text, const RECT& r, unsigned flags, const QFont& font,
                COLORREF colour) {
    RMeasuredFont measured(font);
    DrawTextLine(painter, text, r, flags, measured, colour, false);
}

void DrawTextIn(QPainter& painter, const QString& text, const RECT& r, unsigned flags, RMeasuredFont& font,
                COLORREF colour) {
    DrawTextLine(painter, text, r, flags, font, colour, true);
}

ScopedClip::ScopedClip(QPainter& painter, const RECT& r)
    : painter_(painter), hadClip_(painter.hasClipping()), oldClip_(painter.clipRegion()) {
    painter_.setClipRect(ToQRect(r), Qt::ReplaceClip);
}

ScopedClip::~ScopedClip() {
    if (hadClip_) {
        painter_.setClipRegion(oldClip_, Qt::ReplaceClip);
    } else {
        painter_.setClipping(false);
    }
}

}  // namespace platform::ui
