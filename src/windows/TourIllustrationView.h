// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/ColorScheme.h"
#include "windows/TourIllustrations.h"

#include <QWidget>

#include <optional>

// The drawing pane of the welcome tour: a page's drawing on the tinted background, or the
// drawing on its way from one page's to the next.
class TourIllustrationView : public QWidget
{
    Q_OBJECT

public:
    static constexpr int paneWidth = 460;

    explicit TourIllustrationView(const TourIllustration &illustration, QWidget *parent = nullptr);

    const TourIllustration &illustration() const { return m_to; }
    // Shows `illustration` at once.
    void setIllustration(const TourIllustration &illustration);
    // Starts the way from what shows now to `illustration`; `setProgress` moves along it.
    void beginTransition(const TourIllustration &illustration);
    double progress() const { return m_progress; }
    void setProgress(double progress);
    // Arrives: only the new drawing is left.
    void finishTransition();

    // The appearance to paint in; absent follows the desktop.
    void setColorScheme(std::optional<ColorScheme> scheme);
    ColorScheme colorScheme() const;

    QSize sizeHint() const override { return {paneWidth, 420}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TourIllustration m_from;
    TourIllustration m_to;
    double m_progress = 1;
    std::optional<ColorScheme> m_scheme;
};
