// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/X11Connection.h"
#include "platform/X11WindowHints.h"
#include "rail/WindowSystem.h"

#include <QPointer>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>

class QMouseEvent;
class QWindow;
class X11UserTime;

// A panel made of a frameless, always-on-top tool window. Click-through and clipping are
// the window's X11 input and bounding shapes, set on Qt's own connection and set again
// whenever Qt creates a new native window; the window type, the task-bar, pager and
// desktop hints and the compositor's shadow hints are set before every mapping. A panel
// that never takes focus on a click (a rail) is a dock, which every window manager keeps
// above, unframed and visible while another application is active; one that does (a
// floating note) is a normal window kept above, which the window manager moves and
// resizes. A panel fitted to its input (XWayland on KWin and mutter, which give a window
// every click inside it) keeps its content at the frame's place inside a window cut down
// to what takes the mouse. Elsewhere (offscreen, Wayland) the same calls fall back to what
// Qt offers.
class QtPanel : public Panel
{
    Q_OBJECT

public:
    // `userTime`, when given, must outlive the panel; its latest press goes with the
    // panel's activation requests.
    QtPanel(const QRectF &frame, const PanelOptions &options,
            const X11UserTime *userTime = nullptr);
    ~QtPanel() override;

    void setContent(std::unique_ptr<QWidget> content) override;
    QWidget *content() const override;

    QRectF frame() const override;
    void setFrame(const QRectF &frame) override;
    void setFrameOrigin(const QPointF &origin) override;

    void orderFrontRegardless() override;
    void makeKeyAndOrderFront() override;
    void orderOut() override;
    bool isVisible() const override;
    bool isKey() const override;

    bool ignoresMouseEvents() const override;
    void setIgnoresMouseEvents(bool ignores) override;
    std::optional<QList<QRectF>> mouseRects() const override;
    void setMouseRects(const std::optional<QList<QRectF>> &rects) override;
    QList<QRectF> alwaysAcceptingRects() const override;
    void setAlwaysAcceptingRects(const QList<QRectF> &rects) override;
    bool fitsWindowToInput() const override;
    void setFitsWindowToInput(bool fits) override;

    std::optional<QRegion> visibleRegion() const override;
    void setVisibleRegion(const std::optional<QRegion> &region) override;

    QPointF mapFromGlobal(const QPointF &globalPoint) const override;

    void startUserMove() override;
    void startUserResize(Qt::Edges edges) override;

    // The top-level window, for checks.
    QWidget *window() const { return m_window.get(); }

    // How long a fitted window keeps its larger size after what takes the mouse shrank:
    // about as long as a rail's tabs take to slide back.
    static constexpr std::chrono::milliseconds shrinkDelay{700};
    // How long after a change of a fitted window's geometry the pointer's crossings of its
    // border are not believed: the window manager's reply takes a few frames.
    static constexpr std::chrono::milliseconds crossingsSettleTime{250};
    // How far a fitted window reaches past what takes the mouse, in pixels: a pointer on its
    // way out crosses the input shape's border inside the window, which the X server itself
    // reports, before it leaves the window, which XWayland does not always report.
    static constexpr int fittedMargin = 16;

    // Marks the windows of panels; the activation policy leaves them alone.
    static constexpr const char *panelProperty = "orlettePanel";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setAcceptsFocus(bool accepts);
    void inputChanged();
    QList<QRectF> acceptingRects() const;
    QRect fittedGeometry() const;
    void fitWindow(bool shrink);
    void placeContent();
    QPoint contentOffset() const;
    void keepContentsInPlace();
    void applyInputShape();
    void applyVisibleRegion();
    void redrawOnceShown();
    void prepareForMapping();
    bool crossingIsBelieved(bool entered);
    void settleCrossings();
    void enterOnMotion(const QMouseEvent *move);
    bool pointerIsInWindow() const;
    xcb_window_t nativeWindow() const;
    X11WindowHints::WindowType windowType() const;

    std::unique_ptr<QWidget> m_window;
    QPointer<QWidget> m_content;
    PanelOptions m_options;
    std::optional<X11Connection> m_x11;
    const X11UserTime *m_userTime;
    bool m_ignoresMouseEvents = false;
    // Set in sessions whose window manager tiles normal windows.
    const bool m_tilesNormalWindows;
    std::optional<QList<QRectF>> m_mouseRects;
    QList<QRectF> m_alwaysAccepting;
    std::optional<QRegion> m_visibleRegion;
    bool m_isKey = false;
    bool m_shapedSinceMapping = false;
    QPointF m_lastOrigin;
    // While the window fits what takes input: the panel's frame, which the window only
    // shows a part of.
    bool m_fitsInput = false;
    QRectF m_fittedFrame;
    QTimer m_shrinkTimer;
    // Since the window's last own change of geometry.
    QTimer m_crossingsSettle;
    bool m_pointerInside = false;
};
