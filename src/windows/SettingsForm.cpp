// SPDX-License-Identifier: GPL-3.0-or-later
#include "windows/SettingsForm.h"

#include "surfaces/NoteChromeFonts.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

// Marks widgets that belong to the row above them, so no hairline separates them.
constexpr const char *attachedProperty = "orletteAttachedToRowAbove";

constexpr int boxRadius = 8;
constexpr int rowMarginX = 12;
constexpr int rowMarginY = 7;

// The rounded box behind a section's rows.
class SectionBox : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const ColorScheme scheme = currentColorScheme();
        const QColor fill =
            scheme == ColorScheme::dark ? QColor(255, 255, 255, 13) : QColor(0, 0, 0, 9);
        const QColor line =
            scheme == ColorScheme::dark ? QColor(255, 255, 255, 26) : QColor(0, 0, 0, 26);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), boxRadius, boxRadius);
        painter.fillPath(outline, fill);
        painter.strokePath(outline, QPen(line, 1));

        // A hairline above every shown row but the first, unless it belongs to the row above.
        bool first = true;
        for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (child->isHidden())
                continue;
            if (first) {
                first = false;
                continue;
            }
            if (child->property(attachedProperty).toBool())
                continue;
            const double y = child->geometry().top() - rowMarginY - 0.5;
            painter.setPen(QPen(line, 1));
            painter.drawLine(QPointF(rowMarginX, y), QPointF(width() - rowMarginX, y));
        }
    }
};

} // namespace

// Stacks the rows of a section box: hidden rows take no room, a row gets a wide gap above
// it (where the hairline goes) unless it belongs to the row above.
class RowsLayout : public QLayout
{
public:
    explicit RowsLayout(QWidget *parent) : QLayout(parent)
    {
        setContentsMargins(rowMarginX, rowMarginY + 1, rowMarginX, rowMarginY + 1);
    }
    ~RowsLayout() override { qDeleteAll(m_items); }

    void addItem(QLayoutItem *item) override { m_items.append(item); }
    int count() const override { return int(m_items.size()); }
    QLayoutItem *itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem *takeAt(int index) override
    {
        return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
    }
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return arrange(QRect(0, 0, width, 0), false); }
    QSize sizeHint() const override
    {
        const QMargins margins = contentsMargins();
        int width = 0;
        for (QLayoutItem *item : m_items) {
            if (!item->isEmpty())
                width = std::max(width, item->sizeHint().width());
        }
        width += margins.left() + margins.right();
        return {width, heightForWidth(width)};
    }
    // The height follows the width (captions wrap), so only the width has a minimum here;
    // asking for the hinted height would keep the box as tall as at its narrowest.
    QSize minimumSize() const override
    {
        const QMargins margins = contentsMargins();
        int width = 0;
        for (QLayoutItem *item : m_items) {
            if (!item->isEmpty())
                width = std::max(width, item->minimumSize().width());
        }
        return {width + margins.left() + margins.right(), 0};
    }
    void setGeometry(const QRect &rect) override
    {
        QLayout::setGeometry(rect);
        arrange(rect, true);
    }

private:
    static bool isAttached(QLayoutItem *item)
    {
        return item->widget() && item->widget()->property(attachedProperty).toBool();
    }

    int arrange(const QRect &rect, bool apply) const
    {
        const QMargins margins = contentsMargins();
        const int width = rect.width() - margins.left() - margins.right();
        int y = rect.top() + margins.top();
        bool first = true;
        for (QLayoutItem *item : m_items) {
            if (item->isEmpty())
                continue;
            if (!first)
                y += isAttached(item) ? 3 : 2 * rowMarginY;
            first = false;
            const int height =
                item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
            if (apply)
                item->setGeometry(QRect(rect.left() + margins.left(), y, width, height));
            y += height;
        }
        return y - rect.top() + margins.bottom();
    }

    QList<QLayoutItem *> m_items;
};

namespace SettingsForm {

QColor secondaryColor()
{
    QColor color = QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(0.55);
    return color;
}

QColor red(ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? QColor(255, 69, 58) : QColor(215, 0, 21);
}

QColor green(ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? QColor(48, 209, 88) : QColor(36, 138, 61);
}

QColor orange(ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? QColor(255, 159, 10) : QColor(201, 52, 0);
}

QFont captionFont()
{
    return NoteChromeFonts::systemFont(11, QFont::Normal);
}

QLabel *makeCaption(const QString &text, Tone tone, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    label->setFont(captionFont());
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    setTone(label, tone);
    return label;
}

void setTone(QLabel *caption, Tone tone)
{
    QPalette palette = caption->palette();
    palette.setColor(QPalette::WindowText,
                     tone == Tone::warning ? red(currentColorScheme()) : secondaryColor());
    caption->setPalette(palette);
}

} // namespace SettingsForm

SettingsSection::SettingsSection(const QString &title, QWidget *parent)
    : QWidget(parent), m_title(new QLabel(title, this)), m_box(new SectionBox(this)),
      m_rows(new RowsLayout(m_box))
{
    QFont titleFont = NoteChromeFonts::systemFont(13, QFont::DemiBold);
    m_title->setFont(titleFont);
    m_title->setContentsMargins(rowMarginX / 2, 0, 0, 0);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(m_title);
    layout->addWidget(m_box);
}

QString SettingsSection::title() const
{
    return m_title->text();
}

void SettingsSection::addRow(QWidget *row)
{
    row->setParent(m_box);
    m_rows->addWidget(row);
}

QWidget *SettingsSection::addLabeledRow(const QString &label, QWidget *value)
{
    auto *row = new QWidget(m_box);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto *name = new QLabel(label, row);
    name->setTextFormat(Qt::PlainText);
    layout->addWidget(name);
    layout->addStretch(1);
    value->setParent(row);
    layout->addWidget(value);
    name->setBuddy(value);
    m_rows->addWidget(row);
    return row;
}

QLabel *SettingsSection::addCaption(const QString &text, SettingsForm::Tone tone)
{
    QLabel *caption = SettingsForm::makeCaption(text, tone, m_box);
    addAttachment(caption);
    return caption;
}

void SettingsSection::addAttachment(QWidget *widget)
{
    widget->setParent(m_box);
    widget->setProperty(attachedProperty, true);
    m_rows->addWidget(widget);
}

// --- SettingsSwitch ---

namespace {
constexpr double trackWidth = 32;
constexpr double trackHeight = 18;
} // namespace

SettingsSwitch::SettingsSwitch(const QString &text, QWidget *parent) : QAbstractButton(parent)
{
    setText(text);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SettingsSwitch::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(text()) + 16 + int(trackWidth),
            std::max(metrics.height(), int(trackHeight) + 2)};
}

QSize SettingsSwitch::minimumSizeHint() const
{
    return sizeHint();
}

QRectF SettingsSwitch::trackRect() const
{
    return {width() - trackWidth - 1, (height() - trackHeight) / 2.0, trackWidth, trackHeight};
}

bool SettingsSwitch::hitButton(const QPoint &pos) const
{
    // The whole row toggles, as a click on a labelled switch does.
    return rect().contains(pos);
}

void SettingsSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPalette &colors = palette();
    QColor textColor = colors.color(QPalette::WindowText);
    if (!isEnabled())
        textColor.setAlphaF(0.4);
    painter.setPen(textColor);
    const QRectF track = trackRect();
    painter.drawText(QRectF(0, 0, track.left() - 8, height()),
                     Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, text());

    QColor fill = isChecked()
                      ? colors.color(QPalette::Highlight)
                      : (currentColorScheme() == ColorScheme::dark ? QColor(255, 255, 255, 45)
                                                                   : QColor(0, 0, 0, 40));
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(track, trackHeight / 2, trackHeight / 2);

    const double knob = trackHeight - 4;
    const double x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    painter.setBrush(QColor(255, 255, 255));
    painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));

    if (hasFocus()) {
        QColor ring = colors.color(QPalette::Highlight);
        ring.setAlphaF(0.5);
        painter.setPen(QPen(ring, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-2, -2, 2, 2), trackHeight / 2 + 2,
                                trackHeight / 2 + 2);
    }
}

// --- StatusDot ---

StatusDot::StatusDot(QWidget *parent) : QWidget(parent)
{
    setFixedSize(diameter, diameter);
}

void StatusDot::setColor(const QColor &color)
{
    if (color == m_color)
        return;
    m_color = color;
    update();
}

void StatusDot::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
}
