// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/ColorScheme.h"
#include "surfaces/NoteFontStyle.h"

#include <QFont>
#include <QHash>
#include <QRectF>
#include <QStringList>
#include <QStyledItemDelegate>

#include <optional>

class Note;

// One note in the library's list: a bar in the note's colour, its title (struck through
// when the note is done, followed by a pin when it floats on the desktop), the start of its
// text in the note font and the date of its last change. Rows have no click action; every
// operation goes through their context menu.
class LibraryRow : public QStyledItemDelegate
{
    Q_OBJECT

public:
    static inline const QString pinToolTip = QStringLiteral("Suelta en el escritorio");
    // The excerpt is set in the note font at this share of its size.
    static constexpr double excerptScale = 0.75;
    static constexpr int maximumExcerptLines = 2;

    // Logical pixels.
    static constexpr int horizontalInset = 16;
    static constexpr int verticalPadding = 5;
    static constexpr int barWidth = 5;
    static constexpr int barGap = 12;
    static constexpr int lineGap = 3;
    static constexpr int pinGap = 4;
    static constexpr int titlePixelSize = 13;
    static constexpr int pinPixelSize = 8;
    static constexpr int datePixelSize = 10;

    // Where the parts of one row go.
    struct Layout
    {
        QRectF bar;
        // The display title, shortened with an ellipsis when it does not fit.
        QString title;
        // The box of the drawn title text (its width is the text's, not the column's).
        QRectF titleRect;
        bool struckThrough = false;
        // Only for floating notes.
        std::optional<QRectF> pin;
        // At most `maximumExcerptLines`, the last one ending in an ellipsis when more text
        // follows; empty when the note has no text.
        QStringList excerptLines;
        QRectF excerptRect;
        QString date;
        QRectF dateRect;
    };

    // The colours a row is drawn with, from the list's palette.
    struct Colors
    {
        QColor primary;
        QColor secondary;
        QColor tertiary;
        QColor separator;
        QColor highlight;

        static Colors from(const QPalette &palette);
    };

    explicit LibraryRow(QObject *parent = nullptr);
    ~LibraryRow() override;

    const NoteFontStyle &noteFontStyle() const { return m_noteFontStyle; }
    // The `scale` of `style` is replaced by `excerptScale`. True when the excerpt font
    // changed, which may change the height of rows.
    bool setNoteFontStyle(NoteFontStyle style);

    const QFont &titleFont() const { return m_titleFont; }
    const QFont &excerptFont() const { return m_excerptFont; }
    const QFont &dateFont() const { return m_dateFont; }

    // The row drawn as under the pointer, such as the one whose menu is open; may be null.
    void setHighlightedNote(const Note *note) { m_highlighted = note; }
    const Note *highlightedNote() const { return m_highlighted; }

    int height(const Note &note, int rowWidth) const;
    Layout layout(const Note &note, const QRect &rowRect) const;
    void paintNote(QPainter &painter, const Note &note, const QRect &rowRect, const Colors &colors,
                   ColorScheme scheme, bool highlighted = false, bool separatorBelow = false) const;
    // What the row says about the point `position` when the pointer rests there.
    QString toolTip(const Note &note, const QRect &rowRect, const QPoint &position) const;

    // "12 mar 2024, 14:05", in local time.
    static QString dateText(const QDateTime &date);
    // The note's text as the excerpt shows it: blank lines dropped, the rest kept apart by
    // line separators, cut well beyond what two lines can hold.
    static QString excerptText(const QString &plainText);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    struct ExcerptMeasure
    {
        QString plainText;
        bool empty = true;
        bool breaks = false;
        qreal firstLineWidth = 0;
    };

    const ExcerptMeasure &measure(const Note &note) const;
    qreal estimatedWidth(QStringView text) const;
    int excerptLineCount(const Note &note, qreal width) const;
    QStringList wrapExcerpt(const QString &text, qreal width, int lines) const;
    static qreal textWidth(int rowWidth);

    NoteFontStyle m_noteFontStyle;
    QFont m_titleFont;
    QFont m_excerptFont;
    QFont m_dateFont;
    const Note *m_highlighted = nullptr;
    // Measuring every note's text for the row heights is the slow part of laying out a long
    // list; the measure holds until the note's text or the font changes.
    mutable QHash<const Note *, ExcerptMeasure> m_measures;
    // Advances of single characters in the excerpt font; summing them is much quicker than
    // shaping each text, and close enough to decide between one line and two.
    mutable QHash<char16_t, qreal> m_advances;
};
