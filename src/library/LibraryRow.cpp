// SPDX-License-Identifier: GPL-3.0-or-later
#include "library/LibraryRow.h"

#include "library/LibraryListModel.h"
#include "library/LibrarySymbols.h"
#include "model/Note.h"
#include "surfaces/NotePaint.h"

#include <QAbstractItemView>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// Longer than two lines of the widest window can show, short enough to lay out quickly.
constexpr qsizetype excerptCharacterLimit = 400;
const QChar ellipsis(0x2026);

QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QColor withAlpha(QColor color, qreal alpha)
{
    color.setAlphaF(color.alphaF() * alpha);
    return color;
}

bool isLineBreak(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
}

int lineHeight(const QFont &font)
{
    return int(std::ceil(QFontMetricsF(font).height()));
}

} // namespace

LibraryRow::Colors LibraryRow::Colors::from(const QPalette &palette)
{
    const QColor text = palette.color(QPalette::Text);
    return Colors{text, withAlpha(text, 0.55), withAlpha(text, 0.38), withAlpha(text, 0.09),
                  palette.color(QPalette::Highlight)};
}

LibraryRow::LibraryRow(QObject *parent)
    : QStyledItemDelegate(parent), m_titleFont(systemFont(titlePixelSize, QFont::DemiBold)),
      m_dateFont(systemFont(datePixelSize))
{
    m_noteFontStyle.scale = excerptScale;
    setNoteFontStyle(m_noteFontStyle);
}

LibraryRow::~LibraryRow() = default;

bool LibraryRow::setNoteFontStyle(NoteFontStyle style)
{
    style.scale = excerptScale;
    QFont font = style.font();
    // The sizes of the design are logical pixels on this desktop.
    font.setPixelSize(std::max(1, qRound(font.pointSizeF())));
    m_noteFontStyle = style;
    if (font == m_excerptFont)
        return false;
    m_excerptFont = font;
    m_measures.clear();
    m_advances.clear();
    m_advances.clear();
    return true;
}

QString LibraryRow::dateText(const QDateTime &date)
{
    static const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    if (!date.isValid())
        return {};
    return spanish.toString(date.toLocalTime(), QStringLiteral("d MMM yyyy, H:mm"));
}

QString LibraryRow::excerptText(const QString &plainText)
{
    QStringList lines;
    QString line;
    const auto keep = [&] {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty())
            lines << trimmed;
        line.clear();
    };
    const qsizetype end = std::min(plainText.size(), excerptCharacterLimit);
    for (qsizetype i = 0; i < end && lines.size() <= maximumExcerptLines; ++i) {
        const QChar c = plainText.at(i);
        if (isLineBreak(c))
            keep();
        else
            line += c;
    }
    if (lines.size() <= maximumExcerptLines)
        keep();
    return lines.join(QChar::LineSeparator);
}

qreal LibraryRow::textWidth(int rowWidth)
{
    return std::max(0, rowWidth - 2 * horizontalInset - barWidth - barGap);
}

const LibraryRow::ExcerptMeasure &LibraryRow::measure(const Note &note) const
{
    auto it = m_measures.find(&note);
    if (it != m_measures.end() && it->plainText == note.plainText())
        return *it;
    ExcerptMeasure result;
    result.plainText = note.plainText();
    const QString text = excerptText(note.plainText());
    result.empty = text.isEmpty();
    const qsizetype firstBreak = text.indexOf(QChar::LineSeparator);
    result.breaks = firstBreak >= 0;
    result.firstLineWidth =
        estimatedWidth(result.breaks ? QStringView(text).left(firstBreak) : QStringView(text));
    return *m_measures.insert(&note, result);
}

qreal LibraryRow::estimatedWidth(QStringView text) const
{
    const QFontMetricsF metrics(m_excerptFont);
    qreal width = 0;
    for (const QChar c : text) {
        auto it = m_advances.constFind(c.unicode());
        if (it == m_advances.cend()) {
            // Half of a surrogate pair has no advance of its own; count an average one.
            const qreal advance =
                c.isSurrogate() ? metrics.averageCharWidth() / 2 : metrics.horizontalAdvance(c);
            it = m_advances.insert(c.unicode(), advance);
        }
        width += *it;
    }
    return width;
}

int LibraryRow::excerptLineCount(const Note &note, qreal width) const
{
    const ExcerptMeasure &excerpt = measure(note);
    if (excerpt.empty)
        return 0;
    return excerpt.breaks || excerpt.firstLineWidth > width ? maximumExcerptLines : 1;
}

int LibraryRow::height(const Note &note, int rowWidth) const
{
    const int lines = excerptLineCount(note, textWidth(rowWidth));
    int total = verticalPadding + lineHeight(m_titleFont) + lineGap;
    if (lines > 0)
        total += lines * lineHeight(m_excerptFont) + lineGap;
    return total + lineHeight(m_dateFont) + verticalPadding;
}

QStringList LibraryRow::wrapExcerpt(const QString &text, qreal width, int lines) const
{
    QStringList result;
    if (text.isEmpty() || lines <= 0 || width <= 0)
        return result;
    QTextLayout layout(text, m_excerptFont);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int lastStart = 0;
    while (result.size() < lines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        lastStart = line.textStart();
        QString piece = text.mid(line.textStart(), line.textLength());
        while (!piece.isEmpty() && isLineBreak(piece.back()))
            piece.chop(1);
        result << piece.trimmed();
    }
    const bool more = layout.createLine().isValid();
    layout.endLayout();
    if (more && !result.isEmpty()) {
        // The last line shown runs on: end it with an ellipsis that fits.
        const QFontMetricsF metrics(m_excerptFont);
        QString rest = text.mid(lastStart);
        const qsizetype lineEnd = rest.indexOf(QChar::LineSeparator);
        const bool laterLines = lineEnd >= 0;
        if (laterLines)
            rest.truncate(lineEnd);
        rest = rest.trimmed();
        QString last = metrics.elidedText(rest, Qt::ElideRight, width);
        if (laterLines && !last.endsWith(ellipsis)) {
            last = metrics.elidedText(rest, Qt::ElideRight,
                                      width - metrics.horizontalAdvance(ellipsis));
            if (!last.endsWith(ellipsis))
                last += ellipsis;
        }
        result.back() = last;
    }
    return result;
}

LibraryRow::Layout LibraryRow::layout(const Note &note, const QRect &rowRect) const
{
    Layout result;
    const qreal left = rowRect.left() + horizontalInset;
    const qreal top = rowRect.top() + verticalPadding;
    result.bar = QRectF(left, top, barWidth, rowRect.height() - 2 * verticalPadding);

    const qreal textLeft = left + barWidth + barGap;
    const qreal width = textWidth(rowRect.width());
    qreal y = top;

    const QFontMetricsF titleMetrics(m_titleFont);
    const qreal titleHeight = lineHeight(m_titleFont);
    const qreal pinSide = pinPixelSize + 1;
    const qreal titleRoom = note.isFloating() ? width - pinGap - pinSide : width;
    result.title =
        titleMetrics.elidedText(note.displayTitle(), Qt::ElideRight, std::max<qreal>(0, titleRoom));
    const qreal titleWidth = std::min(titleMetrics.horizontalAdvance(result.title), titleRoom);
    result.titleRect = QRectF(textLeft, y, std::max<qreal>(0, titleWidth), titleHeight);
    result.struckThrough = note.isCompleted();
    if (note.isFloating()) {
        result.pin = QRectF(result.titleRect.right() + pinGap,
                            y + (titleHeight - pinSide) / 2 + 0.5, pinSide, pinSide);
    }
    y += titleHeight + lineGap;

    const int lines = excerptLineCount(note, width);
    if (lines > 0) {
        result.excerptLines = wrapExcerpt(excerptText(note.plainText()), width, lines);
        const qreal excerptHeight = lines * lineHeight(m_excerptFont);
        result.excerptRect = QRectF(textLeft, y, width, excerptHeight);
        y += excerptHeight + lineGap;
    }

    result.date = dateText(note.updatedAt());
    result.dateRect = QRectF(textLeft, y, width, lineHeight(m_dateFont));
    return result;
}

void LibraryRow::paintNote(QPainter &painter, const Note &note, const QRect &rowRect,
                           const Colors &colors, ColorScheme scheme, bool highlighted,
                           bool separatorBelow) const
{
    const Layout parts = layout(note, rowRect);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);

    if (highlighted) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(withAlpha(colors.highlight, 0.14));
        painter.drawRoundedRect(
            QRectF(rowRect).adjusted(horizontalInset / 2.0, 1, -horizontalInset / 2.0, -1), 6, 6);
    }
    if (separatorBelow) {
        painter.setPen(QPen(colors.separator, 1));
        const qreal y = rowRect.bottom() + 0.5;
        painter.drawLine(QPointF(parts.titleRect.left(), y),
                         QPointF(rowRect.right() - horizontalInset, y));
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(NoteColors::paint(note.color(), scheme).surface);
    painter.drawRoundedRect(parts.bar, barWidth / 2.0, barWidth / 2.0);

    painter.setFont(m_titleFont);
    painter.setPen(colors.primary);
    painter.drawText(parts.titleRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     parts.title);
    if (parts.struckThrough) {
        const QFontMetricsF metrics(m_titleFont);
        const qreal baseline = parts.titleRect.top() +
                               (parts.titleRect.height() - metrics.height()) / 2 + metrics.ascent();
        const qreal y = std::round(baseline - metrics.strikeOutPos()) + 0.5;
        painter.setPen(QPen(colors.secondary, std::max<qreal>(1, metrics.lineWidth())));
        painter.drawLine(QPointF(parts.titleRect.left(), y), QPointF(parts.titleRect.right(), y));
    }
    if (parts.pin)
        LibrarySymbols::paint(painter, LibrarySymbols::pinFill, *parts.pin, colors.secondary);

    if (!parts.excerptLines.isEmpty()) {
        painter.setFont(m_excerptFont);
        painter.setPen(colors.secondary);
        const qreal step = lineHeight(m_excerptFont);
        QRectF line(parts.excerptRect.topLeft(), QSizeF(parts.excerptRect.width(), step));
        for (const QString &text : parts.excerptLines) {
            painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
            line.translate(0, step);
        }
    }

    painter.setFont(m_dateFont);
    painter.setPen(colors.tertiary);
    painter.drawText(parts.dateRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     parts.date);
    painter.restore();
}

QString LibraryRow::toolTip(const Note &note, const QRect &rowRect, const QPoint &position) const
{
    const Layout parts = layout(note, rowRect);
    // The pin is small; a little slack around it makes the tooltip easy to reach.
    if (parts.pin && parts.pin->adjusted(-3, -3, 3, 3).contains(position))
        return pinToolTip;
    return {};
}

namespace {

const Note *noteOf(const QModelIndex &index)
{
    return index.data(LibraryListModel::NoteRole).value<Note *>();
}

int rowWidthFor(const QStyleOptionViewItem &option)
{
    if (const auto *view = qobject_cast<const QAbstractItemView *>(option.widget))
        return view->viewport()->width();
    return option.rect.width();
}

} // namespace

void LibraryRow::paint(QPainter *painter, const QStyleOptionViewItem &option,
                       const QModelIndex &index) const
{
    const Note *note = noteOf(index);
    if (!note)
        return;
    // Rows do nothing on a click, so only the row whose menu is open is marked.
    const bool highlighted = note == m_highlighted;
    const bool separatorBelow = index.row() + 1 < index.model()->rowCount(index.parent());
    paintNote(*painter, *note, option.rect, Colors::from(option.palette), currentColorScheme(),
              highlighted, separatorBelow);
}

QSize LibraryRow::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const Note *note = noteOf(index);
    const int width = rowWidthFor(option);
    return QSize(width, note ? height(*note, width) : 0);
}

bool LibraryRow::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                           const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (event->type() != QEvent::ToolTip)
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const Note *note = noteOf(index);
    const QString text = note ? toolTip(*note, option.rect, event->pos()) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
        return false;
    }
    QToolTip::showText(event->globalPos(), text, view);
    return true;
}
