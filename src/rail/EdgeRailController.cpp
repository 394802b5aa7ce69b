// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeRailController.h"

#include "rail/EdgeRailPanel.h"
#include "rail/InteractiveRegions.h"
#include "rail/PassthroughHostingView.h"
#include "rail/RailPointer.h"
#include "rail/RailRootView.h"
#include "rail/WindowSystem.h"

#include <QRegion>
#include <QWidget>

EdgeRailController::EdgeRailController(WindowSystem &windows, ScreenEdge edge,
                                       const ScreenInfo &screen,
                                       const RootViewFactory &makeRootView, QObject *parent)
    : QObject(parent), m_windows(windows), m_edge(edge),
      m_regions(std::make_unique<InteractiveRegions>()), m_pointer(std::make_unique<RailPointer>()),
      m_panel(EdgeRailPanel::create(windows, EdgeRailPanel::frame(screen.visibleFrame, edge)))
{
    std::unique_ptr<QWidget> root = makeRootView(edge, *m_regions, *m_pointer);
    if (const auto *keyboardSeeker = qobject_cast<RailRootView *>(root.get()))
        connect(keyboardSeeker, &RailRootView::wantsKeyboard, this,
                &EdgeRailController::takeKeyboard);
    auto host = std::make_unique<PassthroughHostingView>(*m_regions, *m_pointer, std::move(root));
    m_host = host.get();
    m_panel->setContent(std::move(host));
    m_host->setPanel(m_panel.get());

    connect(m_regions.get(), &InteractiveRegions::rectsChanged, this,
            &EdgeRailController::updateVisibleRegion);
    connect(&m_windows, &WindowSystem::compositingChanged, this,
            &EdgeRailController::updateVisibleRegion);
    updateVisibleRegion();
}

EdgeRailController::~EdgeRailController()
{
    // The panel goes first, taking the hosting view and the content with it.
    m_panel.reset();
}

void EdgeRailController::takeKeyboard()
{
    m_panel->makeKeyAndOrderFront();
}

void EdgeRailController::updateVisibleRegion()
{
    // Without a compositor the transparent parts of the panel would be painted black over
    // the desktop, so the panel is cut down to what the rail draws.
    if (m_windows.isCompositing()) {
        m_panel->setVisibleRegion(std::nullopt);
        return;
    }
    QRegion drawn;
    for (const QRectF &rect : m_regions->rects())
        drawn += rect.toAlignedRect();
    m_panel->setVisibleRegion(drawn);
}
