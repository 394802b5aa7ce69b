// SPDX-License-Identifier: GPL-3.0-or-later
#include "ViewTestSupport.h"

#include "model/StyledText.h"

#include <QCoreApplication>
#include <QDir>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace ViewTest {

Note *insertNote(ModelContext &context, const QString &title, const QString &body, NoteColor color,
                 ScreenEdge edge)
{
    Note *note = context.insert(Note::make(title, StyledText::plain(body), color, edge, 0));
    EXPECT_TRUE(context.save());
    return note;
}

NoteSurfaceEnvironment environment(ModelContext *context, ColorScheme scheme,
                                   std::chrono::milliseconds saveDelay)
{
    NoteSurfaceEnvironment result;
    result.context = context;
    result.colorScheme = scheme;
    result.saveDelay = saveDelay;
    return result;
}

QImage render(QWidget &widget, const QColor &background)
{
    QImage image(widget.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

QColor pixel(const QImage &image, QPointF point)
{
    const QPoint at(int(std::floor(point.x())), int(std::floor(point.y())));
    if (!image.rect().contains(at))
        return QColor(Qt::transparent);
    return image.pixelColor(at);
}

int distance(const QColor &a, const QColor &b)
{
    return std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                     std::abs(a.blue() - b.blue()), std::abs(a.alpha() - b.alpha())});
}

double luminance(const QColor &color)
{
    return 0.2126 * color.redF() + 0.7152 * color.greenF() + 0.0722 * color.blueF();
}

QColor mix(const QColor &a, const QColor &b, double amount)
{
    const auto blend = [amount](float x, float y) { return x + (y - x) * float(amount); };
    return QColor::fromRgbF(blend(a.redF(), b.redF()), blend(a.greenF(), b.greenF()),
                            blend(a.blueF(), b.blueF()), blend(a.alphaF(), b.alphaF()));
}

int pixelsDifferingFrom(const QImage &image, const QRectF &area,
                        const std::function<QColor(QPoint)> &reference, int threshold)
{
    int count = 0;
    const QRect box = area.toAlignedRect().intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (distance(image.pixelColor(x, y), reference(QPoint(x, y))) > threshold)
                ++count;
        }
    }
    return count;
}

QString artifactsDirectory()
{
    const QByteArray configured = qgetenv("ORLETTE_ARTIFACTS_DIR");
    if (!configured.isEmpty())
        return QString::fromLocal8Bit(configured);
    // The test binary lives in <build>/tests.
    QDir build(QCoreApplication::applicationDirPath());
    build.cdUp();
    return build.filePath(QStringLiteral("view-artifacts"));
}

bool saveArtifact(const QImage &image, const QString &name)
{
    const QString directory = artifactsDirectory();
    if (!QDir().mkpath(directory))
        return false;
    return image.save(QDir(directory).filePath(name + QStringLiteral(".png")));
}

} // namespace ViewTest
