// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windows/TourIllustrations.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class AnimationClock;
class QGraphicsOpacityEffect;
class QLabel;
class QPushButton;
class SpringAnimator;
class TourDots;
class TourIllustrationView;
class UserDefaults;

// One page of the welcome tour.
struct TourPage
{
    QString title;
    QString body;
    TourIllustration illustration;
};

// The five pages of the welcome tour: text on the leading side with the dots and buttons,
// the page's drawing beside it. "Siguiente" (Return) moves on; on the last page "Empezar"
// calls `onFinish`.
class WelcomeTour : public QWidget
{
    Q_OBJECT

public:
    static constexpr int textPaneWidth = 300;
    static constexpr int padding = 30;

    // `clock` drives the page animation; a real frame clock when null.
    explicit WelcomeTour(std::function<void()> onFinish, QWidget *parent = nullptr,
                         AnimationClock *clock = nullptr);
    ~WelcomeTour() override;

    static const QList<TourPage> &pages();

    int step() const { return m_step; }
    // Goes to `step` (kept within the pages) with the page animation.
    void setStep(int step);
    // "Atrás".
    void goBack();
    // "Siguiente", or "Empezar" on the last page.
    void advance();
    // Ends the page animation where it is heading.
    void finishAnimation();
    bool isAnimating() const;

    QLabel *titleLabel() const { return m_title; }
    QLabel *bodyLabel() const { return m_body; }
    QPushButton *backButton() const { return m_back; }
    QPushButton *mainButton() const { return m_main; }
    TourDots *dots() const { return m_dots; }
    TourIllustrationView *illustrationView() const { return m_illustration; }

Q_SIGNALS:
    void stepChanged(int step);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showPage();
    void animationMoved();
    // The text pane's height for the tallest page, so the window keeps one size.
    int tallestTextPane() const;

    std::function<void()> m_onFinish;
    int m_step = 0;
    QLabel *m_title;
    QLabel *m_body;
    TourDots *m_dots;
    QPushButton *m_back;
    QPushButton *m_main;
    QWidget *m_textPane;
    QWidget *m_text;
    QGraphicsOpacityEffect *m_textFade;
    TourIllustrationView *m_illustration;
    AnimationClock *m_clock;
    SpringAnimator *m_animator;
};

// The "Bienvenida" window: the tour, closed by "Empezar", which also records that the tour
// was seen. Closing it any other way leaves the tour to be offered at the next launch.
class WelcomeTourWindow : public QWidget
{
    Q_OBJECT

public:
    explicit WelcomeTourWindow(UserDefaults &defaults, QWidget *parent = nullptr,
                               AnimationClock *clock = nullptr);
    ~WelcomeTourWindow() override;

    WelcomeTour *tour() const { return m_tour; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void centreOnScreen();

    UserDefaults &m_defaults;
    WelcomeTour *m_tour;
};
