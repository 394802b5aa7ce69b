#include "ViewTestSupport.h"

#include "surfaces/BundledFonts.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/NoteCardPainter.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace {

// Largest difference of two images of the same size, in any channel of any pixel.
int largestDifference(const QImage &a, const QImage &b)
{
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            largest = std::max(largest, ViewTest::distance(a.pixelColor(x, y), b.pixelColor(x, y)));
    return largest;
}

QImage blank(QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

TEST(CardShadowCacheTest, StretchedShadowMatchesABlurOfTheWholeShape)
{
    for (const ScreenEdge edge : {ScreenEdge::right, ScreenEdge::left}) {
        for (const double radius : {4.0, 8.0, 14.0, 26.0}) {
            const EdgeFlushShape shape{edge, radius == 4.0 ? 3.0 : 15.0};
            const QSize size(180, 140);
            CardShadowCache cache;
            const QImage stretched = cache.image(shape, size, radius);
            const int margin = CardShadowCache::margin(radius);
            EXPECT_EQ(stretched.size(), size + QSize(2 * margin, 2 * margin));
            const QImage reference = CardShadowCache::blurred(shape, size, radius);
            EXPECT_LE(largestDifference(stretched, reference), 6)
                << "edge " << int(edge) << " radius " << radius;
        }
    }
}

TEST(CardShadowCacheTest, KeepsWithinItsBudget)
{
    CardShadowCache cache(200 * 1024);
    const EdgeFlushShape shape{ScreenEdge::right, 15};
    for (int width = 60; width < 200; width += 3)
        cache.image(shape, QSize(width, 120), 8);
    EXPECT_LE(cache.bytes(), 200 * 1024 + 200 * 1024 / 4);
    EXPECT_GT(cache.count(), 0);
    EXPECT_LT(cache.count(), (200 - 60) / 3);

    // A shape too small for the corner piece is blurred whole, and kept too.
    const QImage small = cache.image(shape, QSize(20, 20), 8);
    EXPECT_EQ(small, CardShadowCache::blurred(shape, QSize(20, 20), 8));
}

TEST(NoteCardPainterTest, LayerLooksLikePaintingAfresh)
{
    BundledFonts::registerAll();
    const NotePaint paint = NoteColors::paint(NoteColor::lavender, ColorScheme::light);
    for (const NotePhase phase : {NotePhase::chip, NotePhase::tab, NotePhase::preview}) {
        NoteCardChrome chrome;
        chrome.edge = phase == NotePhase::tab ? ScreenEdge::left : ScreenEdge::right;
        chrome.phase = phase;
        chrome.tilt = phase == NotePhase::chip ? 0 : 1.5;
        chrome.isHovered = phase == NotePhase::tab;
        const QSizeF size = NoteCardChrome::cardSize(phase, 82, 0, 104, 240);
        chrome.frame =
            QRectF(QPointF(chrome.edge == ScreenEdge::right ? 480 - size.width() : 0, 37), size);

        QImage layered = blank(QSize(480, 340));
        QImage direct = blank(QSize(480, 340));
        NoteCardPainter painter;
        {
            QPainter onto(&layered);
            painter.paint(onto, chrome, paint, QStringLiteral("Lecturas de verano"));
            // A second frame comes from the kept layer.
            layered.fill(Qt::transparent);
            painter.paint(onto, chrome, paint, QStringLiteral("Lecturas de verano"));
        }
        {
            QPainter onto(&direct);
            painter.paintDirectly(onto, chrome, paint, QStringLiteral("Lecturas de verano"));
        }
        EXPECT_LE(largestDifference(layered, direct), 3) << "phase " << int(phase);

        // Moving the card moves the picture.
        QImage moved = blank(QSize(480, 340));
        {
            QPainter onto(&moved);
            NoteCardChrome lower = chrome;
            lower.frame.translate(0, 20);
            painter.paint(onto, lower, paint, QStringLiteral("Lecturas de verano"));
        }
        const QPoint probe = chrome.frame.center().toPoint();
        EXPECT_EQ(moved.pixelColor(probe + QPoint(0, 20)), layered.pixelColor(probe));
    }
}

} // namespace
