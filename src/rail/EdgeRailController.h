// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "model/ScreenSource.h"
#include "platform/Subscription.h"

#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>

#include <functional>
#include <memory>
#include <optional>

class InteractiveRegions;
class Panel;
class PassthroughHostingView;
class QWidget;
class RailPointer;
class WindowSystem;

// One rail: its panel at a screen edge, the rectangles that take the mouse, the pointer
// as the rail sees it, and the hosting view with the rail's content. Releasing the
// controller releases all of them. Main thread only.
class EdgeRailController : public QObject
{
    Q_OBJECT

public:
    // Builds the rail's content for its edge, sharing the rail's regions and pointer.
    using RootViewFactory = std::function<std::unique_ptr<QWidget>(
        ScreenEdge edge, InteractiveRegions &regions, RailPointer &pointer)>;

    // Where the desktop reports the pointer and its clicks to the application.
    enum class PointerReach
    {
        // Everywhere on the screen (X11 sessions).
        everywhere,
        // Only over the application's own windows (X11 clients in a Wayland session): the
        // panel keeps a strip at its screen edge and the rail's interactive regions taking
        // the mouse at all times, so a dwell at the edge is seen and a tab is found by a
        // pointer jumping onto it, and its window covers only those (the compositor gives
        // a window every click inside it); the pointer counts as gone when it leaves the
        // panel;
        // and, since clicks on other clients go unseen, a press on the rail gives its
        // panel the keyboard and losing the keyboard counts as a click elsewhere.
        ownWindowsOnly,
    };
    // How wide the always accepting strip at the screen edge is, in points.
    static constexpr double wakeZoneWidth = 2;
    // The strip at the screen edge of a panel of `size`, as tall as the rail's `wakeBand`
    // (the whole edge while the rail has none yet).
    static QRectF wakeZone(ScreenEdge edge, const QSizeF &size, const QRectF &wakeBand);

    // Creates the panel (not shown) on `screen` with the content made by `makeRootView`.
    // A content that is a `RailRootView` gets the keyboard for its panel when it asks.
    // Without `reach`, it is read from the session the process runs in.
    EdgeRailController(WindowSystem &windows, ScreenEdge edge, const ScreenInfo &screen,
                       const RootViewFactory &makeRootView, QObject *parent = nullptr,
                       std::optional<PointerReach> reach = std::nullopt);
    ~EdgeRailController() override;

    ScreenEdge edge() const { return m_edge; }
    Panel &panel() const { return *m_panel; }
    InteractiveRegions &regions() const { return *m_regions; }
    RailPointer &pointer() const { return *m_pointer; }
    PassthroughHostingView &host() const;
    PointerReach pointerReach() const { return m_reach; }

Q_SIGNALS:
    // The pointer entered or left the panel, and the host was told where it is from the
    // crossing rather than from a sample of the pointer.
    void pointerCrossedPanel(bool entered);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void takeKeyboard();
    void updateVisibleRegion();
    void updateAlwaysAccepting();
    void keyChanged(bool isKey);
    void pressed(const QPointF &screenPoint);

    WindowSystem &m_windows;
    ScreenEdge m_edge;
    PointerReach m_reach;
    // The regions and the pointer are declared before the panel so that they outlive the
    // hosting view, which the panel owns and which uses them to its end.
    std::unique_ptr<InteractiveRegions> m_regions;
    std::unique_ptr<RailPointer> m_pointer;
    std::unique_ptr<Panel> m_panel;
    QPointer<PassthroughHostingView> m_host;
    std::optional<Subscription> m_pressMonitor;
};
