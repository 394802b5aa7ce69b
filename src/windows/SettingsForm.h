// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/ColorScheme.h"

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QWidget>

class RowsLayout;

// The pieces of the settings window's grouped form: titled sections on a rounded box,
// label-and-value rows, switches, captions and the small status circle.
namespace SettingsForm {

// Width of the whole form, in design points (logical pixels).
inline constexpr int formWidth = 460;

// What a caption under a control says by its colour.
enum class Tone
{
    secondary,
    warning
};

// The secondary text colour of the current palette.
QColor secondaryColor();
// The system's red, green and orange, with their light and dark variants.
QColor red(ColorScheme scheme);
QColor green(ColorScheme scheme);
QColor orange(ColorScheme scheme);

// The font of captions under controls.
QFont captionFont();

// A wrapped caption in caption size, in the secondary colour or in red.
QLabel *makeCaption(const QString &text, Tone tone, QWidget *parent = nullptr);
// Gives a caption the colour of another tone, as its news changes.
void setTone(QLabel *caption, Tone tone);

} // namespace SettingsForm

// One titled group of the form: the title above a rounded box that holds the rows,
// hairlines between them. Captions join the row above them without a hairline. Hidden
// rows take no room.
class SettingsSection : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsSection(const QString &title, QWidget *parent = nullptr);

    QString title() const;

    // A row that fills the box's width.
    void addRow(QWidget *row);
    // A row with `label` on the leading side and `value` on the trailing side; returns the
    // row, whose visibility governs both.
    QWidget *addLabeledRow(const QString &label, QWidget *value);
    // A caption belonging to the row above it.
    QLabel *addCaption(const QString &text,
                       SettingsForm::Tone tone = SettingsForm::Tone::secondary);
    // A caption-like widget (not separated from the row above).
    void addAttachment(QWidget *widget);

private:
    QLabel *m_title;
    QWidget *m_box;
    RowsLayout *m_rows;
};

// An on/off switch with its text on the leading side, as a whole form row.
class SettingsSwitch : public QAbstractButton
{
    Q_OBJECT

public:
    explicit SettingsSwitch(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    QRectF trackRect() const;
};

// A filled circle of one colour, 7 × 7.
class StatusDot : public QWidget
{
    Q_OBJECT

public:
    static constexpr int diameter = 7;

    explicit StatusDot(QWidget *parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor &color);

    QSize sizeHint() const override { return {diameter, diameter}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color = Qt::gray;
};
