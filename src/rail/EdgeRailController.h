// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "model/ScreenSource.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

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

    // Creates the panel (not shown) on `screen` with the content made by `makeRootView`.
    // A content that is a `RailRootView` gets the keyboard for its panel when it asks.
    EdgeRailController(WindowSystem &windows, ScreenEdge edge, const ScreenInfo &screen,
                       const RootViewFactory &makeRootView, QObject *parent = nullptr);
    ~EdgeRailController() override;

    ScreenEdge edge() const { return m_edge; }
    Panel &panel() const { return *m_panel; }
    InteractiveRegions &regions() const { return *m_regions; }
    RailPointer &pointer() const { return *m_pointer; }
    PassthroughHostingView &host() const { return *m_host; }

private:
    void takeKeyboard();
    void updateVisibleRegion();

    WindowSystem &m_windows;
    ScreenEdge m_edge;
    // The regions and the pointer are declared before the panel so that they outlive the
    // hosting view, which the panel owns and which uses them to its end.
    std::unique_ptr<InteractiveRegions> m_regions;
    std::unique_ptr<RailPointer> m_pointer;
    std::unique_ptr<Panel> m_panel;
    QPointer<PassthroughHostingView> m_host;
};
