// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/NoteSurfaceEnvironment.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextDocument>
#include <QWidget>

class Note;

// A note's body shown read-only: its plain text from the top leading corner, wrapped to the
// width, with extra space between lines, cut off at the bottom. No scrolling, no selection.
class NotePlainTextView : public QWidget
{
    Q_OBJECT

public:
    explicit NotePlainTextView(QWidget *parent = nullptr);

    // Shows the plain text of `note` in the note font of `environment`'s settings, and keeps
    // following both.
    void showNote(Note *note, const NoteSurfaceEnvironment &environment);

    QString text() const { return m_text; }
    void setText(const QString &text);
    QColor color() const { return m_color; }
    void setColor(const QColor &color);
    void setTextFont(const QFont &font);
    // Extra space between lines, in pixels.
    void setLineSpacing(double spacing);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return QSize(0, 0); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void rebuild();

    QString m_text;
    QColor m_color;
    double m_lineSpacing = 2;
    QTextDocument m_document;
};
