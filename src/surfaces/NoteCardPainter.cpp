#include "surfaces/NoteCardPainter.h"

#include "surfaces/CardShadowCache.h"
#include "surfaces/NoteChromeFonts.h"
#include "surfaces/Perforation.h"
#include "surfaces/WithOpacity.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

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
    const QRectF paper = chrome.paperRect();
    if (paper.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(chrome.tiltTransform(), true);

    const EdgeFlushShape shape = chrome.shape();
    m_shadows->paint(painter, shape, paper, chrome.shadow());

    const QPainterPath outline = shape.path(paper);
    QLinearGradient gradient(paper.topLeft(), paper.bottomLeft());
    gradient.setColorAt(0, paint.surface);
    gradient.setColorAt(1, paint.deep);
    painter.fillPath(outline, gradient);
    painter.strokePath(outline, QPen(withOpacity(paint.ink, 0.1), NoteCardChrome::borderWidth));

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
