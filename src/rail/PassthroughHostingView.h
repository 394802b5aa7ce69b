// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointF>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>

class InteractiveRegions;
class Panel;
class QWindow;
class RailPointer;

// Hosts a rail's content inside its panel and lets the desktop have every click that does
// not land on a published rectangle: the panel takes the mouse only while the pointer is
// over one of the rail's interactive regions, hit tests answer only inside them, and every
// mouse-down elsewhere is counted as an outside click on the rail's pointer.
//
// The pointer does not come from events delivered to the panel (it normally ignores them):
// the coordinator samples the global pointer and forwards it here.
//
// Coordinates: screen points are global (bottom-left origin, y upwards); the view's own
// are top-left with y downwards, like the rail's geometry. Qt widgets are always flipped
// in that sense, so the flip from the global origin happens once, in the panel's
// conversion of a global point to content coordinates.
//
// A first click on a tab acts even though the panel is not active: Qt delivers it to a
// window that does not take the focus without activating anything first.
//
// There is no construction from a root view alone, and no construction from an archive:
// a hosting view without the rail's regions and pointer could neither let clicks through
// nor report the pointer, so the only constructor takes all three, and the deleted one
// below turns an attempt at the other into a compile-time error.
class PassthroughHostingView : public QWidget
{
    Q_OBJECT

public:
    // Shows `rootView` filling this view. `regions` and `pointer` are shared with the
    // content and must outlive this view.
    PassthroughHostingView(InteractiveRegions &regions, RailPointer &pointer,
                           std::unique_ptr<QWidget> rootView, QWidget *parent = nullptr);
    explicit PassthroughHostingView(std::unique_ptr<QWidget> rootView) = delete;
    ~PassthroughHostingView() override;

    InteractiveRegions &regions() const { return m_regions; }
    RailPointer &pointer() const { return m_pointer; }
    QWidget *rootView() const { return m_rootView; }
    // The last location given to updatePointer() while the view had a panel.
    std::optional<QPointF> lastScreenPoint() const { return m_lastScreenPoint; }

    // The panel this view is the content of; null while it has none (the view then has
    // no window: it reports no location and counts every click as outside).
    Panel *panel() const { return m_panel; }
    void setPanel(Panel *panel);

    // The widget a click at `point` (view coordinates) would reach: null outside the
    // published rectangles, where the click belongs to the windows behind.
    QWidget *hitTest(const QPointF &point) const;

    // Every pointer sample, in global coordinates: makes the panel take the mouse exactly
    // while `screenPoint` is over a published rectangle and tells the content where the
    // pointer is (absent outside the view).
    void updatePointer(const QPointF &screenPoint);
    // The rectangles were published again: re-checks mouse acceptance for the last
    // pointer sample, since a tab may have slid under (or away from) a still pointer.
    void refreshMouseAcceptance();
    // Every mouse-down anywhere on the desktop: counts it as an outside click unless it
    // landed on one of this rail's rectangles.
    void handleClick(const QPointF &screenPoint);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Located
    {
        bool hit = false;
        std::optional<QPointF> location;
    };

    QPointF toView(const QPointF &screenPoint) const;
    bool inBounds(const QPointF &point) const;
    Located locate(const QPointF &screenPoint) const;
    void acceptMouse(bool hit);
    void publishMouseRects();
    void watchWindow();

    InteractiveRegions &m_regions;
    RailPointer &m_pointer;
    QPointer<QWidget> m_rootView;
    QPointer<Panel> m_panel;
    QPointer<QWindow> m_watchedWindow;
    std::optional<QPointF> m_lastScreenPoint;
};
