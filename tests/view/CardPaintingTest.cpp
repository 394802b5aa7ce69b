// SPDX-License-Identifier: GPL-3.0-or-later
#include "ViewTestSupport.h"

#include "surfaces/BundledFonts.h"
#include "surfaces/CardShadowCache.h"
#include "surfaces/NoteCardPainter.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <cmath>

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

TEST(CardShadowCacheTest, PaintingDrawsTheBlurredShapeAtItsPlaceEvenUnderATurn)
{
    const CardShadow shadow{14.0, 1.0, QPointF(0, 3)};
    const int margin = CardShadowCache::margin(shadow.radius);
    const QSize canvas(420, 300);
    // Both edges; the tilt of a card on the rail; a growing card's size every few frames,
    // and an open card larger than the pieces kept for tabs.
    for (const ScreenEdge edge : {ScreenEdge::right, ScreenEdge::left}) {
        const EdgeFlushShape shape{edge, 15.0};
        for (const double turn : {0.0, 1.5}) {
            for (const double width : {90.0, 180.4, 300.0}) {
                QImage painted = blank(canvas);
                QImage expected = blank(canvas);
                const QRectF card(60.25, 70.5, width, 140);
                // A fraction of a pixel more is shadowed as a whole pixel more.
                const QImage reference = CardShadowCache::blurred(
                    shape, QSize(int(std::ceil(width)), 140), shadow.radius);
                for (QImage *image : {&painted, &expected}) {
                    QPainter painter(image);
                    painter.setRenderHint(QPainter::Antialiasing);
                    painter.translate(160, 150);
                    painter.rotate(turn);
                    painter.translate(-160, -150);
                    if (image == &painted) {
                        CardShadowCache cache;
                        cache.paint(painter, shape, card, shadow);
                    } else {
                        painter.drawImage(card.topLeft() + shadow.offset - QPointF(margin, margin),
                                          reference);
                    }
                }
                // A seam between the pieces would show as a line far off the blur.
                EXPECT_LE(largestDifference(painted, expected), 12)
                    << "edge " << int(edge) << " turn " << turn << " width " << width;
            }
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
    const QString title = QStringLiteral("Lecturas de verano");
    for (const double ratio : {1.0, 2.0}) {
        for (const NotePhase phase : {NotePhase::chip, NotePhase::tab, NotePhase::preview}) {
            NoteCardChrome chrome;
            chrome.edge = phase == NotePhase::tab ? ScreenEdge::left : ScreenEdge::right;
            chrome.phase = phase;
            chrome.tilt = phase == NotePhase::chip ? 0 : 1.5;
            chrome.isHovered = phase == NotePhase::tab;
            const QSizeF size = NoteCardChrome::cardSize(phase, 82, 0, 104, 240);
            chrome.frame = QRectF(
                QPointF(chrome.edge == ScreenEdge::right ? 480 - size.width() : 0, 37), size);
            const auto canvas = [ratio] {
                QImage image = blank(QSize(480, 340) * ratio);
                image.setDevicePixelRatio(ratio);
                return image;
            };

            QImage layered = canvas();
            QImage direct = canvas();
            NoteCardPainter painter;
            {
                QPainter onto(&layered);
                painter.paint(onto, chrome, paint, title);
                // A second frame comes from the kept layer.
                layered.fill(Qt::transparent);
                painter.paint(onto, chrome, paint, title);
            }
            {
                QPainter onto(&direct);
                painter.paintDirectly(onto, chrome, paint, title);
            }
            // The layer stands at a whole pixel, so the card may move by part of one: the
            // faint hairline border, a tenth of the ink, can change by half its coverage.
            EXPECT_LE(largestDifference(layered, direct), 13)
                << "phase " << int(phase) << " ratio " << ratio;

            // Moving the card moves the picture.
            QImage moved = canvas();
            {
                QPainter onto(&moved);
                NoteCardChrome lower = chrome;
                lower.frame.translate(0, 20);
                painter.paint(onto, lower, paint, title);
            }
            const QPoint probe = (chrome.frame.center() * ratio).toPoint();
            EXPECT_EQ(moved.pixelColor(probe + QPoint(0, int(20 * ratio))),
                      layered.pixelColor(probe));
        }
    }
}

} // namespace
