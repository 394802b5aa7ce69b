// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/ColorScheme.h"
#include "surfaces/NoteFontStyle.h"

#include <QWidget>

#include <optional>

// The sample of the note font in the settings: one line set in the chosen typeface and size,
// in the citrus ink on the citrus paper.
class FontSampleView : public QWidget
{
    Q_OBJECT

public:
    static inline const QString sampleText = QStringLiteral("El café de la tienda de la esquina");
    static constexpr double padding = 12;
    static constexpr double cornerRadius = 8;

    explicit FontSampleView(QWidget *parent = nullptr);

    const NoteFontStyle &style() const { return m_style; }
    void setStyle(const NoteFontStyle &style);
    // The appearance to paint in; absent follows the desktop.
    void setColorScheme(std::optional<ColorScheme> scheme);
    ColorScheme colorScheme() const;
    // The font the sample is set in: the style's, sized in design points.
    QFont sampleFont() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    NoteFontStyle m_style;
    std::optional<ColorScheme> m_scheme;
};
