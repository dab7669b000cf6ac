// Drawing helpers: exclusive rectangle edges, unpainted line ends, colour byte order, point sizes
// at 96 dpi, elision and clip restoring, checked on the pixels drawn.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/ui/GdiShapes.h"
#include "tests/support/GuiApp.h"

using namespace platform::ui;

namespace {
QImage White(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}
COLORREF At(const QImage& image, int x, int y) { return FromQColor(image.pixelColor(x, y)); }
constexpr COLORREF kWhite = RGB(255, 255, 255);
}  // namespace

TEST(GdiShapes, RectanglesKeepTheirExclusiveEdgesThroughQRect) {
    const RECT r{10, 20, 30, 45};
    const QRect q = ToQRect(r);
    EXPECT_EQ(q.width(), 20);
    EXPECT_EQ(q.right(), 29);  // Qt's inclusive right
    EXPECT_EQ(FromQRect(q), r);
    EXPECT_TRUE(PtInRect(r, 10, 20));
    EXPECT_FALSE(PtInRect(r, 30, 20));
    EXPECT_FALSE(PtInRect(r, 10, 45));
    EXPECT_TRUE(PtInRect(r, 29, 44));

    QImage image = White(40, 50);
    {
        QPainter painter(&image);
        FillSolidRect(painter, r, RGB(255, 0, 0));
        FillSolidRect(painter, RECT{5, 5, 5, 9}, RGB(0, 0, 0));  // empty: nothing
    }
    EXPECT_EQ(At(image, 10, 20), RGB(255, 0, 0));
    EXPECT_EQ(At(image, 29, 44), RGB(255, 0, 0));
    EXPECT_EQ(At(image, 30, 44), kWhite);
    EXPECT_EQ(At(image, 29, 45), kWhite);
    EXPECT_EQ(At(image, 5, 5), kWhite);
}

TEST(GdiShapes, LinesLeaveTheirEndPointUnpaintedInEitherDirection) {
    QImage image = White(20, 20);
    {
        QPainter painter(&image);
        DrawLineTo(painter, 2, 3, 8, 3, 0);
        DrawLineTo(painter, 15, 10, 9, 10, 0);
        DrawLineTo(painter, 4, 5, 4, 9, 0);
    }
    EXPECT_EQ(At(image, 2, 3), 0u);
    EXPECT_EQ(At(image, 7, 3), 0u);
    EXPECT_EQ(At(image, 8, 3), kWhite);
    EXPECT_EQ(At(image, 15, 10), 0u);
    EXPECT_EQ(At(image, 10, 10), 0u);
    EXPECT_EQ(At(image, 9, 10), kWhite);
    EXPECT_EQ(At(image, 4, 8), 0u);
    EXPECT_EQ(At(image, 4, 9), kWhite);
}

TEST(GdiShapes, ColoursAreLowByteRedAndFontsArePointsAt96Dpi) {
    EXPECT_EQ(RGB(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(ToQColor(0x0000FFu), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(0xFF0000u), QColor(0, 0, 255));
    EXPECT_EQ(FromQColor(QColor(250, 250, 250)), 0xFAFAFAu);
    EXPECT_EQ(PointToPixels(90), 12);
    EXPECT_EQ(PointToPixels(100), 13);
    EXPECT_EQ(PointToPixels(280), 37);
    orvane::test::GuiApp();
    const QFont bold = PointFont("Arial", 280, true);
    EXPECT_EQ(bold.pixelSize(), 37);
    EXPECT_TRUE(bold.bold());
}

TEST(GdiShapes, TextIsElidedToItsBoxAndAmpersandsShowAsTheyStand) {
    orvane::test::GuiApp();
    const QFont font = PointFont("Arial", 90);
    const QString longText = "A summary far too long for a narrow day cell";
    const QString cut = ElideText(font, longText, 60);
    EXPECT_TRUE(cut.endsWith(QChar(0x2026)));
    EXPECT_LE(MeasureText(font, cut).width(), 60);
    EXPECT_EQ(ElideText(font, "Hi", 60), "Hi");
    EXPECT_GT(MeasureText(font, "&&&").width(), MeasureText(font, "&").width());

    QImage image = White(100, 30);
    {
        QPainter painter(&image);
        DrawTextIn(painter, longText, RECT{10, 5, 50, 25}, kTextEndEllipsis, font, 0);
    }
    for (int y = 0; y < 30; ++y) {
        for (int x = 50; x < 100; ++x) ASSERT_EQ(At(image, x, y), kWhite) << x << "," << y;
    }
}

TEST(GdiShapes, ScopedClipPutsThePreviousClipBack) {
    QImage image = White(40, 40);
    {
        QPainter painter(&image);
        {
            ScopedClip clip(painter, RECT{0, 0, 10, 10});
            FillSolidRect(painter, RECT{0, 0, 40, 40}, 0);
        }
        EXPECT_FALSE(painter.hasClipping());
        FillSolidRect(painter, RECT{30, 30, 40, 40}, RGB(0, 255, 0));
        painter.setClipRect(QRect(20, 0, 20, 20));
        {
            ScopedClip clip(painter, RECT{0, 20, 10, 30});
        }
        EXPECT_EQ(painter.clipRegion().boundingRect(), QRect(20, 0, 20, 20));
    }
    EXPECT_EQ(At(image, 9, 9), 0u);
    EXPECT_EQ(At(image, 10, 10), kWhite);
    EXPECT_EQ(At(image, 35, 35), RGB(0, 255, 0));
}

TEST(GdiShapes, ABoxMeasuredForTheTextHoldsItWhole) {
    orvane::test::GuiApp();
    const QFont font = PointFont("Arial", 90);
    for (const char* text : {"Dinner", "Weekly review", "Il", "W W W"}) {
        const int width = MeasureText(font, text).width();
        EXPECT_EQ(ElideText(font, text, width), text);
        EXPECT_NE(ElideText(font, text, width - 2), text);
    }
}

TEST(GdiShapes, AFontsKeptLayoutsDrawTheSamePixelsAsTextLaidOutAfresh) {
    orvane::test::GuiApp();
    const QFont font = PointFont("Arial", 90);
    RMeasuredFont kept(font);
    struct Line {
        QString text;
        RECT box;
        unsigned flags;
    };
    const Line lines[] = {
        {"9:30a", RECT{4, 2, 40, 18}, kTextNoClip},
        {"Tom & Jerry %1 <b>", RECT{4, 20, 60, 36}, kTextEndEllipsis},      // elided, clipped to its box
        {"A title wider than its box", RECT{4, 40, 30, 56}, kTextLeft},      // clipped without elision
        {"Right", RECT{4, 60, 90, 76}, kTextRight | kTextNoClip},           // laid out afresh either way
    };
    for (int pass = 0; pass < 2; ++pass) {  // the second pass draws from the kept layouts
        QImage fresh = White(100, 80), reused = White(100, 80);
        {
            QPainter a(&fresh), b(&reused);
            for (const Line& line : lines) {
                DrawTextIn(a, line.text, line.box, line.flags, font, RGB(20, 40, 200));
                DrawTextIn(b, line.text, line.box, line.flags, kept, RGB(20, 40, 200));
            }
        }
        EXPECT_EQ(fresh, reused) << "pass " << pass;
    }
    for (const Line& line : lines) {
        EXPECT_EQ(kept.Measure(line.text), MeasureText(font, line.text));
        EXPECT_EQ(kept.Elide(line.text, 30), ElideText(font, line.text, 30));
    }
}
