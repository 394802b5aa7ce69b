// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QMarginsF>

// A plain text button of the note chrome: its label on a rounded fill, no platform frame.
// It never takes the keyboard focus, so clicking it leaves the caret in the note's editor
// and works in panels that do not activate.
class NoteTextButton : public QAbstractButton
{
    Q_OBJECT

public:
    struct Look
    {
        QColor text;
        QColor fill;
        QColor hoverFill; // the fill while the pointer is over the button
        QMarginsF padding;
        double cornerRadius = 0;
    };

    explicit NoteTextButton(const QString &text, QWidget *parent = nullptr);

    const Look &look() const { return m_look; }
    void setLook(const Look &look);
    // Whether the pointer is over the button.
    bool isHovering() const { return m_hovering; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

Q_SIGNALS:
    void hoveringChanged(bool hovering);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setHovering(bool hovering);

    Look m_look;
    bool m_hovering = false;
};
