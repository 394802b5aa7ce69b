// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/EdgeRailController.h"

#include "platform/SessionKind.h"

#include "rail/EdgeRailPanel.h"
#include "rail/InteractiveRegions.h"
#include "rail/PassthroughHostingView.h"
#include "rail/RailPointer.h"
#include "rail/RailRootView.h"
#include "rail/WindowSystem.h"

#include <QEvent>
#include <QRegion>
#include <QWidget>

#include <algorithm>

namespace {

// A screen point no rail contains: where the pointer is taken to be once it has left a
// rail for a window that the desktop does not report it over.
constexpr QPointF nowhere(-1e9, -1e9);

EdgeRailController::PointerReach reachOfSession()
{
    return SessionKind::processSeesPointerOnlyOverOwnWindows()
               ? EdgeRailController::PointerReach::ownWindowsOnly
               : EdgeRailController::PointerReach::everywhere;
}

} // namespace

EdgeRailController::EdgeRailController(WindowSystem &windows, ScreenEdge edge,
                                       const ScreenInfo &screen,
                                       const RootViewFactory &makeRootView, QObject *parent,
                                       std::optional<PointerReach> reach)
    : QObject(parent), m_windows(windows), m_edge(edge), m_reach(reach.value_or(reachOfSession())),
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

    if (m_reach == PointerReach::ownWindowsOnly) {
        // The compositors that keep X windows at the screen edges give such a window every
        // click inside its frame, whatever its input shape.
        m_panel->setFitsWindowToInput(true);
        m_host->installEventFilter(this);
        connect(m_panel.get(), &Panel::keyChanged, this, &EdgeRailController::keyChanged);
        connect(m_regions.get(), &InteractiveRegions::rectsChanged, this,
                &EdgeRailController::updateAlwaysAccepting);
        connect(m_regions.get(), &InteractiveRegions::wakeBandChanged, this,
                &EdgeRailController::updateAlwaysAccepting);
        m_pressMonitor = m_windows.addLocalMonitor(
            PointerEventType::leftMouseDown,
            [this](const PointerEvent &event) { pressed(event.location); });
        updateAlwaysAccepting();
    }
}

EdgeRailController::~EdgeRailController()
{
    m_pressMonitor.reset();
    // A view being destroyed still sends events (its children leaving); the filter must
    // not see them, by then the view is only a QObject.
    if (m_host)
        m_host->removeEventFilter(this);
    // The panel goes first, taking the hosting view and the content with it.
    m_panel.reset();
}

PassthroughHostingView &EdgeRailController::host() const
{
    return *m_host;
}

void EdgeRailController::takeKeyboard()
{
    m_panel->makeKeyAndOrderFront();
}

bool EdgeRailController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_host)
        return false;
    switch (event->type()) {
    case QEvent::Enter:
        // The pointer may come back exactly where it left, which the sampler would take
        // for no movement at all.
        m_host->updatePointer(m_windows.pointerLocation());
        Q_EMIT pointerCrossedPanel(true);
        break;
    case QEvent::Leave:
        // Past the panel the pointer is over a window the desktop does not report it over:
        // its last known place is stale, and the rail would stay awake under it for good.
        m_host->updatePointer(nowhere);
        Q_EMIT pointerCrossedPanel(false);
        break;
    case QEvent::Resize:
        updateAlwaysAccepting();
        break;
    default:
        break;
    }
    return false;
}

QRectF EdgeRailController::wakeZone(ScreenEdge edge, const QSizeF &size, const QRectF &wakeBand)
{
    const double x = edge == ScreenEdge::left ? 0 : size.width() - wakeZoneWidth;
    if (wakeBand.isEmpty())
        return {x, 0, wakeZoneWidth, size.height()};
    // Only where a dwell would wake the rail: elsewhere along the edge a click belongs to
    // the window below (a maximised window's scroll bar), and the window, fitted to what
    // takes the mouse, stays no taller than the tabs and their margin.
    const double top = std::clamp(wakeBand.top(), 0.0, size.height());
    const double bottom = std::clamp(wakeBand.bottom(), top, size.height());
    return {x, top, wakeZoneWidth, bottom - top};
}

void EdgeRailController::updateAlwaysAccepting()
{
    m_panel->setAlwaysAcceptingRects(
        QList<QRectF>{wakeZone(m_edge, m_panel->frame().size(), m_regions->wakeBand())} +
        m_regions->rects());
}

void EdgeRailController::keyChanged(bool isKey)
{
    // A click on another application's window cannot be seen, but it takes the keyboard
    // from the panel whose card had it: the card closes as it would for the click.
    if (!isKey)
        m_pointer->addOutsideClick();
}

void EdgeRailController::pressed(const QPointF &screenPoint)
{
    // A card opened by a click would otherwise stay without the keyboard, and then nothing
    // tells when the person clicks another application's window.
    if (!m_panel->isKey() && m_regions->contains(m_panel->mapFromGlobal(screenPoint)))
        takeKeyboard();
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
