// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/NoteCardPainter.h"

#include "surfaces/CardShadowCache.h"
#include "surfaces/NoteChromeFonts.h"
#include "surfaces/Perforation.h"
#include "surfaces/WithOpacity.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <cmath>

#include <cmath>

NoteCardPainter::NoteCardPainter(std::shared_ptr<CardShadowCache> shadows)
    : m_shadows(shadows ? std::move(shadows) : std::make_shared<CardShadowCache>())
{
    m_label.setTextFormat(Qt::PlainText);
    m_label.setPerformanceHint(QStaticText::AggressiveCaching);
}

const QFont &NoteCardPainter::labelFont()
{
    static const QFont font = [] {
        QFont tracked = NoteChromeFonts::tabLabel();
        tracked.setLetterSpacing(QFont::AbsoluteSpacing, NoteCardChrome::labelTracking);
        return tracked;
    }();
    return font;
}

QString NoteCardPainter::labelText(const QString &title, double length)
{
    // One line: a title with line breaks shows them as spaces.
    QString line = title.toUpper();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QChar::LineSeparator, QLatin1Char(' '));
    line.replace(QChar::ParagraphSeparator, QLatin1Char(' '));
    return QFontMetricsF(labelFont()).elidedText(line, Qt::ElideRight, std::max(0.0, length));
}

void NoteCardPainter::paint(QPainter &painter, const NoteCardChrome &chrome, const NotePaint &paint,
                            const QString &title)
{
    QPaintDevice *device = painter.device();
    // The layer holds pixels; it can stand in only where the painter merely shifts them.
    if (device == nullptr || painter.worldTransform().type() > QTransform::TxTranslate ||
        chrome.frame.isEmpty()) {
        paintDirectly(painter, chrome, paint, title);
        return;
    }
    LayerKey key{chrome, paint, title, device->devicePixelRatio()};
    key.chrome.frame.moveTopLeft(QPointF(0, 0));
    if (m_layer.isNull() || !(key == m_layerKey)) {
        // The frame sits at a whole pixel of the layer, as it will on the device.
        const QRect bounds = QTransform::fromScale(key.pixelRatio, key.pixelRatio)
                                 .mapRect(key.chrome.boundingRect())
                                 .toAlignedRect();
        m_layer = QImage(bounds.size(), QImage::Format_ARGB32_Premultiplied);
        m_layer.setDevicePixelRatio(key.pixelRatio);
        m_layer.fill(Qt::transparent);
        m_layerOrigin = -QPointF(bounds.topLeft()) / key.pixelRatio;
        QPainter layer(&m_layer);
        layer.translate(m_layerOrigin);
        paintDirectly(layer, key.chrome, paint, title);
        m_layerKey = key;
    }
    // Whole device pixels: the layer was drawn for a frame at a pixel boundary.
    const QPointF deviceTopLeft = painter.worldTransform().map(chrome.frame.topLeft());
    const QPointF snapped(std::round(deviceTopLeft.x() * key.pixelRatio) / key.pixelRatio,
                          std::round(deviceTopLeft.y() * key.pixelRatio) / key.pixelRatio);
    painter.save();
    painter.resetTransform();
    painter.drawImage(snapped - m_layerOrigin, m_layer);
    painter.restore();
}

void NoteCardPainter::paintDirectly(QPainter &painter, const NoteCardChrome &chrome,
                                    const NotePaint &paint, const QString &title)
{
    const QRectF paper = chrome.paperRect();
    if (paper.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(chrome.tiltTransform(), true);

    const EdgeFlushShape shape = chrome.shape();
    m_shadows->paint(painter, shape, paper, chrome.shadow());

    // The paper is filled in device space with a gradient that stays vertical: under a turn
    // of a degree or two it looks the same, and a turned gradient costs several times more.
    const QTransform device = painter.worldTransform();
    const QPointF top = device.map(QPointF(paper.center().x(), paper.top()));
    const QPointF bottom = device.map(QPointF(paper.center().x(), paper.bottom()));
    QLinearGradient gradient(QPointF(0, top.y()), QPointF(0, bottom.y()));
    gradient.setColorAt(0, paint.surface);
    gradient.setColorAt(1, paint.deep);
    const QPainterPath outline = shape.path(paper);
    painter.resetTransform();
    painter.fillPath(device.map(outline), gradient);
    painter.setWorldTransform(device);
    // The border straddles the outline. A stroke costs a quarter of filling the ring
    // between the outline grown and shrunk by half the width, which the raster engine
    // rasterises twice over; mitred, its square corners at the screen edge stay square.
    QPen border(withOpacity(paint.ink, 0.1), NoteCardChrome::borderWidth);
    border.setJoinStyle(Qt::MiterJoin);
    painter.strokePath(outline, border);

    const double labelOpacity = chrome.labelOpacity();
    if (labelOpacity > 0) {
        paintLabel(painter, chrome, paint, title);
        Perforation{withOpacity(paint.ink, 0.35 * labelOpacity)}.paint(painter,
                                                                       chrome.perforationFrame());
    }
    painter.restore();
}

void NoteCardPainter::paintLabel(QPainter &painter, const NoteCardChrome &chrome,
                                 const NotePaint &paint, const QString &title)
{
    const double length = chrome.labelLength();
    if (length <= 0)
        return;
    // Laying out the label is the costly part of a tab; it changes only with the title and
    // the tab's height.
    if (title != m_labelTitle || std::abs(length - m_labelLength) > 0.25) {
        m_labelTitle = title;
        m_labelLength = length;
        m_label.setText(labelText(title, length));
        m_label.prepare(QTransform(), labelFont());
    }
    const QSizeF size = m_label.size();
    painter.save();
    painter.setFont(labelFont());
    painter.setPen(withOpacity(paint.ink, 0.82 * chrome.labelOpacity()));
    painter.translate(chrome.labelCentre());
    // Reads from bottom to top along the strip.
    painter.rotate(-90);
    painter.drawStaticText(QPointF(-size.width() / 2, -size.height() / 2), m_label);
    painter.restore();
}
