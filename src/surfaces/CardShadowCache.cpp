// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/CardShadowCache.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A continuous corner starts about this many radii before the corner point.
constexpr double cornerReach = 1.53;

// The blur radius reaches about two standard deviations of the Gaussian.
double sigmaOf(double radius)
{
    return radius * 0.5;
}

// Widths of three box blurs whose succession approximates a Gaussian of `sigma`.
std::vector<int> boxWidths(double sigma)
{
    constexpr int passes = 3;
    const double ideal = std::sqrt(12 * sigma * sigma / passes + 1);
    int lower = int(std::floor(ideal));
    if (lower % 2 == 0)
        --lower;
    lower = std::max(lower, 1);
    const int upper = lower + 2;
    const double idealCount =
        (12 * sigma * sigma - passes * lower * lower - 4 * passes * lower - 3 * passes) /
        (-4.0 * lower - 4);
    const long count = std::lround(idealCount);
    std::vector<int> widths;
    for (int i = 0; i < passes; ++i)
        widths.push_back(i < count ? lower : upper);
    return widths;
}

// One box blur of `half` pixels either side along rows (`step` 1) or columns, from `src`
// into `dst`; outside the image counts as transparent.
void boxPass(const uchar *src, uchar *dst, int lines, int length, qsizetype lineStride,
             qsizetype step, int half)
{
    const int width = 2 * half + 1;
    for (int line = 0; line < lines; ++line) {
        const uchar *in = src + line * lineStride;
        uchar *out = dst + line * lineStride;
        int sum = 0;
        for (int i = 0; i < std::min(half, length); ++i)
            sum += in[i * step];
        for (int i = 0; i < length; ++i) {
            const int entering = i + half;
            const int leaving = i - half - 1;
            if (entering < length)
                sum += in[entering * step];
            if (leaving >= 0)
                sum -= in[leaving * step];
            out[i * step] = uchar((sum + width / 2) / width);
        }
    }
}

// `alpha` (Format_Alpha8) blurred in place by a Gaussian of `sigma`.
void blur(QImage &alpha, double sigma)
{
    if (sigma <= 0)
        return;
    QImage scratch(alpha.size(), QImage::Format_Alpha8);
    const int width = alpha.width();
    const int height = alpha.height();
    const qsizetype stride = alpha.bytesPerLine();
    for (const int box : boxWidths(sigma)) {
        const int half = box / 2;
        boxPass(alpha.constBits(), scratch.bits(), height, width, stride, 1, half);
        // Columns: lines are the columns, one byte apart; the run steps a whole row.
        boxPass(scratch.constBits(), alpha.bits(), width, height, 1, stride, half);
    }
}

// The black shadow of `shape` filling a `size` box, blurred by `radius`, `margin` wide
// around it.
QImage blurredShape(const EdgeFlushShape &shape, QSize size, double radius, int margin)
{
    QImage alpha(size + QSize(2 * margin, 2 * margin), QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter painter(&alpha);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(shape.path(QRectF(QPointF(margin, margin), QSizeF(size))), Qt::black);
    }
    blur(alpha, sigmaOf(radius));

    QImage shadow(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < alpha.height(); ++y) {
        const uchar *in = alpha.constScanLine(y);
        auto *out = reinterpret_cast<QRgb *>(shadow.scanLine(y));
        for (int x = 0; x < alpha.width(); ++x)
            out[x] = QRgb(in[x]) << 24;
    }
    return shadow;
}

} // namespace

size_t qHash(const CardShadowCache::Key &key, size_t seed)
{
    return qHashMulti(seed, key.edge, key.cornerRadius, key.blur, key.width, key.height);
}

CardShadowCache::CardShadowCache(qsizetype budget) : m_budget(budget) {}

QImage CardShadowCache::blurred(const EdgeFlushShape &shape, QSize size, double radius)
{
    return blurredShape(shape, size, radius, margin(radius));
}

int CardShadowCache::margin(double radius)
{
    return radius > 0 ? int(std::ceil(3 * sigmaOf(radius))) : 0;
}

void CardShadowCache::paint(QPainter &painter, const EdgeFlushShape &shape, const QRectF &rect,
                            const CardShadow &shadow)
{
    if (shadow.opacity <= 0 || rect.width() <= 0 || rect.height() <= 0)
        return;
    const QSize size(int(std::ceil(rect.width() - 1e-6)), int(std::ceil(rect.height() - 1e-6)));
    const int reach = margin(shadow.radius);
    const QPointF origin = rect.topLeft() + shadow.offset - QPointF(reach, reach);
    painter.save();
    painter.setOpacity(painter.opacity() * shadow.opacity);
    // A blur has no edges to alias: sampling the nearest pixel under a turn looks the same as
    // filtering and costs far less, and unsmoothed pieces meet without a seam.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.setRenderHint(QPainter::Antialiasing, false);
    int corner = 0;
    ninePatch(shape, shadow.radius, &corner);
    const int side = 2 * corner + 2 * reach + 1;
    if (size.width() >= side && size.height() >= side && size.width() <= largeSide &&
        size.height() <= largeSide) {
        // A card growing in an animation has a new size every frame: its shadow is put
        // together from the four corners of one large blurred shape, copied as they are.
        drawQuadrants(painter, origin, large(shape, shadow.radius),
                      size + QSize(2 * reach, 2 * reach));
    } else {
        painter.drawImage(origin, image(shape, size, shadow.radius));
    }
    painter.restore();
}

QImage CardShadowCache::large(const EdgeFlushShape &shape, double radius)
{
    const Key key{int(shape.edge), shape.radius, radius, -2, -2};
    if (auto found = m_patches.constFind(key); found != m_patches.constEnd())
        return *found;
    QImage made = blurredShape(shape, QSize(largeSide, largeSide), radius, margin(radius));
    m_patches.insert(key, made);
    m_bytes += made.sizeInBytes();
    return made;
}

void CardShadowCache::drawQuadrants(QPainter &painter, const QPointF &origin, const QImage &large,
                                    QSize full)
{
    // Each quarter of the shadow lies within a blur of only its own corner, which the same
    // corner of the larger shape has too.
    const int left = full.width() / 2;
    const int top = full.height() / 2;
    const int right = full.width() - left;
    const int bottom = full.height() - top;
    const int fromRight = large.width() - right;
    const int fromBottom = large.height() - bottom;
    painter.drawImage(origin, large, QRect(0, 0, left, top));
    painter.drawImage(origin + QPointF(left, 0), large, QRect(fromRight, 0, right, top));
    painter.drawImage(origin + QPointF(0, top), large, QRect(0, fromBottom, left, bottom));
    painter.drawImage(origin + QPointF(left, top), large,
                      QRect(fromRight, fromBottom, right, bottom));
}

QImage CardShadowCache::image(const EdgeFlushShape &shape, QSize size, double radius)
{
    const Key key{int(shape.edge), shape.radius, radius, size.width(), size.height()};
    if (auto found = m_images.find(key); found != m_images.end()) {
        found->lastUse = ++m_clock;
        return found->image;
    }
    const QImage made = stretched(shape, size, radius);
    remember(key, made);
    return made;
}

QImage CardShadowCache::ninePatch(const EdgeFlushShape &shape, double radius, int *corner)
{
    // The corner piece must hold a whole continuous corner: 1.53 radii, and a pixel more.
    *corner = int(std::ceil(cornerReach * std::max(0.0, shape.radius))) + 1;
    const Key key{int(shape.edge), shape.radius, radius, -1, -1};
    if (auto found = m_patches.constFind(key); found != m_patches.constEnd())
        return *found;
    // The middle row and column lie a whole blur away from both corners, where the blurred
    // straight edge no longer changes along the side.
    const int side = 2 * *corner + 2 * margin(radius) + 1;
    QImage patch = blurredShape(shape, QSize(side, side), radius, margin(radius));
    m_patches.insert(key, patch);
    m_bytes += patch.sizeInBytes();
    return patch;
}

QImage CardShadowCache::stretched(const EdgeFlushShape &shape, QSize size, double radius)
{
    const int reach = margin(radius);
    int corner = 0;
    const QImage patch = ninePatch(shape, radius, &corner);
    const int side = 2 * corner + 2 * reach + 1;
    if (size.width() < side || size.height() < side)
        return blurredShape(shape, size, radius, reach);

    // Corners are copied, the one middle row and column of the piece repeated.
    const int end = 2 * reach + corner; // a corner piece with its blur on both sides
    const QSize full = size + QSize(2 * reach, 2 * reach);
    QImage result(full, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    const int sourceX[] = {0, end, end + 1};
    const int sourceW[] = {end, 1, end};
    const int targetX[] = {0, end, full.width() - end};
    const int targetW[] = {end, full.width() - 2 * end, end};
    const int targetH[] = {end, full.height() - 2 * end, end};
    const int targetY[] = {0, end, full.height() - end};
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            if (targetW[column] <= 0 || targetH[row] <= 0)
                continue;
            painter.drawImage(QRect(targetX[column], targetY[row], targetW[column], targetH[row]),
                              patch,
                              QRect(sourceX[column], sourceX[row], sourceW[column], sourceW[row]));
        }
    }
    return result;
}

void CardShadowCache::remember(const Key &key, const QImage &image)
{
    m_images.insert(key, Entry{image, ++m_clock});
    m_bytes += image.sizeInBytes();
    if (m_bytes > m_budget)
        trim();
}

void CardShadowCache::trim()
{
    // Drop the least recently used shadows until a quarter of the budget is free again.
    std::vector<std::pair<quint64, Key>> byAge;
    byAge.reserve(size_t(m_images.size()));
    for (auto it = m_images.cbegin(); it != m_images.cend(); ++it)
        byAge.emplace_back(it->lastUse, it.key());
    std::sort(byAge.begin(), byAge.end(),
              [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[age, key] : byAge) {
        // The newest stays: it is the one being drawn.
        if (m_bytes <= m_budget * 3 / 4 || age == m_clock)
            break;
        m_bytes -= m_images.value(key).image.sizeInBytes();
        m_images.remove(key);
    }
}
