// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rail/EdgeFlushShape.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>

class QPainter;

// A soft black shadow under a card.
struct CardShadow
{
    double radius = 0;  // blur radius; the shadow fades out about 1.5 radii beyond the shape
    double opacity = 0; // of black at the shape's outline
    QPointF offset;

    friend bool operator==(const CardShadow &, const CardShadow &) = default;
};

// Blurred shadows of edge-flush shapes, made once per shape, size and blur and then reused,
// so that painting a rail of cards costs one image draw per card rather than one blur.
//
// Shapes large enough for their corners and blur are stretched from one blurred corner
// piece per (edge, corner radius, blur), which makes a card growing in an animation cheap;
// smaller shapes are blurred whole. Main thread only.
class CardShadowCache
{
public:
    // Budget of the cached images, in bytes.
    static constexpr qsizetype defaultBudget = 24 * 1024 * 1024;
    // Shapes up to this size on both sides (tabs and chips, not open cards) are shadowed
    // from one large blur per (edge, corner radius, blur).
    static constexpr int largeSide = 256;

    explicit CardShadowCache(qsizetype budget = defaultBudget);

    // Paints `shadow` of `shape` filling `rect` in the painter's current coordinates.
    void paint(QPainter &painter, const EdgeFlushShape &shape, const QRectF &rect,
               const CardShadow &shadow);

    // The shadow image of `shape` at a whole-pixel `size`: black, with the alpha of the shape
    // blurred by `radius`, extended by `margin(radius)` on every side.
    QImage image(const EdgeFlushShape &shape, QSize size, double radius);
    // The same image blurred from the whole shape, made afresh and not kept.
    static QImage blurred(const EdgeFlushShape &shape, QSize size, double radius);
    // How far a shadow of blur `radius` reaches beyond its shape, in whole pixels.
    static int margin(double radius);

    // Number of shadow images held.
    qsizetype count() const { return m_images.size(); }
    // Bytes of all held images (shadows and corner pieces).
    qsizetype bytes() const { return m_bytes; }

private:
    struct Key
    {
        int edge;
        double cornerRadius;
        double blur;
        int width;
        int height;
        friend bool operator==(const Key &, const Key &) = default;
    };
    friend size_t qHash(const Key &key, size_t seed);

    QImage ninePatch(const EdgeFlushShape &shape, double radius, int *corner);
    QImage stretched(const EdgeFlushShape &shape, QSize size, double radius);
    QImage large(const EdgeFlushShape &shape, double radius);
    static void drawQuadrants(QPainter &painter, const QPointF &origin, const QImage &large,
                              QSize full);
    void remember(const Key &key, const QImage &image);
    void trim();

    qsizetype m_budget;
    qsizetype m_bytes = 0;
    quint64 m_clock = 0;
    struct Entry
    {
        QImage image;
        quint64 lastUse = 0;
    };
    QHash<Key, Entry> m_images;
    QHash<Key, QImage> m_patches;
};
