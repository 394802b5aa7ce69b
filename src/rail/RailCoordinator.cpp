// SPDX-License-Identifier: GPL-3.0-or-later
#include "rail/RailCoordinator.h"

#include "model/AppSettings.h"
#include "model/ModelContainer.h"
#include "model/Note.h"
#include "model/NoteActions.h"
#include "model/UserDefaults.h"
#include "rail/EdgeRailController.h"
#include "rail/EdgeRailPanel.h"
#include "rail/EdgeRailRoot.h"
#include "rail/EdgeRailView.h"
#include "rail/OwnMenus.h"
#include "rail/PassthroughHostingView.h"
#include "rail/RailEnvironment.h"
#include "rail/RailFocus.h"
#include "rail/RectContains.h"
#include "rail/WindowSystem.h"
#include "sync/SyncWatcher.h"

#include <QPointer>

std::unique_ptr<QWidget> RailCoordinator::edgeRailRoot(ScreenEdge edge,
                                                       const RailEnvironment &environment)
{
    return std::make_unique<EdgeRailRoot>(edge, environment);
}

RailCoordinator::RailCoordinator(WindowSystem &windows, UserDefaults &defaults,
                                 ModelContainer *container, FloatingWindows *floatingNotes,
                                 SyncWatcher *sync, RailContentFactory makeContent, QObject *parent,
                                 std::optional<EdgeRailController::PointerReach> reach)
    : QObject(parent), m_windows(windows), m_defaults(defaults), m_container(container),
      m_floatingNotes(floatingNotes), m_focus(std::make_unique<RailFocus>()), m_sync(sync),
      m_makeContent(std::move(makeContent)), m_reach(reach),
      m_lastKnownEdge(AppSettings::defaultEdge(defaults)),
      m_ownMenus(std::make_unique<OwnMenus>(windows))
{
}

RailCoordinator::~RailCoordinator()
{
    stop();
}

void RailCoordinator::start()
{
    if (!m_controllers.empty())
        return;
    const std::optional<ScreenInfo> screen = resolveScreen();
    if (!screen)
        return;

    const auto makeRoot = [this](ScreenEdge edge, InteractiveRegions &regions,
                                 RailPointer &pointer) {
        RailEnvironment environment;
        environment.container = m_container;
        environment.floatingNotes = m_floatingNotes;
        environment.railFocus = m_focus.get();
        environment.railPointer = &pointer;
        environment.interactiveRegions = &regions;
        environment.syncWatcher = m_sync;
        environment.windowSystem = &m_windows;
        environment.defaults = &m_defaults;
        return m_makeContent(edge, environment);
    };
    for (const ScreenEdge edge : {ScreenEdge::left, ScreenEdge::right})
        m_controllers.push_back(std::make_unique<EdgeRailController>(m_windows, edge, *screen,
                                                                     makeRoot, nullptr, m_reach));
    for (const auto &controller : m_controllers) {
        connect(controller.get(), &EdgeRailController::pointerCrossedPanel, this,
                &RailCoordinator::pointerCrossedPanel);
        controller->panel().orderFrontRegardless();
    }
    if (m_sync)
        m_sync->start();
    m_currentScreen = screen;

    const QPointer<RailCoordinator> self(this);
    m_screenObserver = connect(&m_windows, &WindowSystem::screenParametersChanged, this, [self] {
        if (self)
            self->layoutPanels();
    });
    m_settingsObserver = connect(&m_defaults, &UserDefaults::didChange, this, [self] {
        if (self)
            self->settingsChanged();
    });
    installPointerMonitors();
    layoutPanels();
}

void RailCoordinator::stop()
{
    disconnect(m_screenObserver);
    disconnect(m_settingsObserver);
    m_screenObserver = {};
    m_settingsObserver = {};
    removePointerMonitors();
    for (const auto &controller : m_controllers)
        controller->panel().orderOut();
    m_controllers.clear();
}

bool RailCoordinator::isObserving() const
{
    return bool(m_screenObserver) || bool(m_settingsObserver);
}

std::optional<ScreenInfo> RailCoordinator::resolveScreen() const
{
    // Read on every use: the setting may have changed since the last time.
    const QString token =
        m_defaults.stringValue(AppSettings::Keys::railScreen, AppSettings::Defaults::railScreen);
    return AppSettings::RailScreen::fromToken(token).resolve(m_windows);
}

void RailCoordinator::layoutPanels()
{
    const std::optional<ScreenInfo> screen = resolveScreen();
    if (!screen)
        return;
    m_currentScreen = screen;
    for (const auto &controller : m_controllers) {
        controller->panel().setFrame(
            EdgeRailPanel::frame(screen->visibleFrame, controller->edge()));
    }
}

void RailCoordinator::settingsChanged()
{
    layoutPanels();
    const ScreenEdge edge = AppSettings::defaultEdge(m_defaults);
    if (edge == m_lastKnownEdge)
        return;
    m_lastKnownEdge = edge;
    if (m_container)
        NoteActions::gather(edge, *m_container->mainContext());
}

void RailCoordinator::installPointerMonitors()
{
    if (!m_pointerMonitors.empty())
        return;
    const QPointer<RailCoordinator> self(this);
    const PointerHandler sample = [self](const PointerEvent &) {
        if (self)
            self->samplePointer();
    };
    // The click's own location: the pointer may have moved on since it was pressed.
    const PointerHandler click = [self](const PointerEvent &event) {
        if (self)
            self->pointerClicked(event.location);
    };
    const auto keep = [this](std::optional<Subscription> monitor) {
        if (monitor)
            m_pointerMonitors.push_back(std::move(*monitor));
    };
    std::optional<Subscription> globalMoves =
        m_windows.addGlobalMonitor(PointerEvents::movement, sample);
    m_seesEveryMove = globalMoves.has_value();
    keep(std::move(globalMoves));
    keep(m_windows.addLocalMonitor(PointerEvents::movement, sample));
    keep(m_windows.addGlobalMonitor(PointerEvents::mouseDowns, click));
    keep(m_windows.addLocalMonitor(PointerEvents::mouseDowns, click));
    for (const auto &controller : m_controllers) {
        m_keyObservers.push_back(
            connect(&controller->panel(), &Panel::keyChanged, this, [self](bool) {
                if (self)
                    self->updateSampler();
            }));
    }
    // Where the pointer is now decides whether the sampler is needed from the start.
    samplePointer();
    updateSampler();
}

void RailCoordinator::removePointerMonitors()
{
    for (const QMetaObject::Connection &observer : m_keyObservers)
        disconnect(observer);
    m_keyObservers.clear();
    m_pointerMonitors.clear();
    m_pointerSampler.reset();
}

bool RailCoordinator::needsFastSampler() const
{
    // The sampler catches what no event tells: every move where the desktop reports none
    // over other applications' windows, and a pointer moved without a motion event (a
    // warp, as xdotool, VNC servers and pointer-locating tools do: X sends no raw motion
    // for it). While the desktop reports every real move, a warp matters at once only
    // where the pointer is about to act on a rail: over its panel, over a tab that takes
    // the mouse, or with a card open.
    if (!m_seesEveryMove)
        return true;
    for (const auto &controller : m_controllers) {
        const Panel &panel = controller->panel();
        if (panel.isKey() || !panel.ignoresMouseEvents() ||
            rectContains(panel.frame(), m_lastPointer))
            return true;
    }
    return false;
}

void RailCoordinator::updateSampler()
{
    if (m_pointerMonitors.empty())
        return;
    const std::chrono::milliseconds interval =
        needsFastSampler() ? samplerInterval : idleSamplerInterval;
    if (m_pointerSampler && interval == m_samplerRate)
        return;
    m_samplerRate = interval;
    const QPointer<RailCoordinator> self(this);
    m_pointerSampler = m_windows.scheduleRepeating(interval, [self] {
        if (self)
            self->samplePointer();
    });
}

void RailCoordinator::samplePointer()
{
    const QPointF location = m_windows.pointerLocation();
    // Exact comparison: the sampler runs ten times a second for the whole session, and a
    // still pointer must cost nothing more than this.
    if (!m_railsToldOtherwise && location.x() == m_lastPointer.x() &&
        location.y() == m_lastPointer.y())
        return;
    m_railsToldOtherwise = false;
    m_lastPointer = location;
    for (const auto &controller : m_controllers)
        controller->host().updatePointer(location);
    followCursorScreen();
    updateSampler();
}

void RailCoordinator::pointerCrossedPanel(bool entered)
{
    // Gone from the panel, the pointer goes on reading where it was last seen over it: that
    // place is no news for the rails. Back over the panel where it was before it left (the
    // screen edge, often), it reads the same as at the last sample, which must not keep the
    // rail at the place the crossing told it.
    m_railsToldOtherwise = entered;
    if (!entered)
        m_lastPointer = m_windows.pointerLocation();
}

void RailCoordinator::pointerClicked(const QPointF &location)
{
    // A press on one of Orlette's menus, or the one that dismisses it, was not made on
    // the desktop: it must not close the card a menu of another tab left open.
    if (m_ownMenus && m_ownMenus->claimPress())
        return;
    for (const auto &controller : m_controllers)
        controller->host().handleClick(location);
}

void RailCoordinator::followCursorScreen()
{
    const QString token =
        m_defaults.stringValue(AppSettings::Keys::railScreen, AppSettings::Defaults::railScreen);
    const AppSettings::RailScreen choice = AppSettings::RailScreen::fromToken(token);
    if (choice.kind() != AppSettings::RailScreen::Kind::withCursor)
        return;
    if (choice.resolve(m_windows) != m_currentScreen)
        layoutPanels();
}

EdgeRailController *RailCoordinator::controller(ScreenEdge edge) const
{
    for (const auto &controller : m_controllers) {
        if (controller->edge() == edge)
            return controller.get();
    }
    return nullptr;
}

void RailCoordinator::reveal(const Note &note)
{
    m_focus->setRequestedNoteID(note.id());
    m_windows.activateApplication();
    const ScreenEdge edge = note.edge();
    const quint64 task = m_nextRevealTask++;
    // Kept by the coordinator, so a task never outlives it.
    m_revealTasks.emplace(task, m_windows.scheduleOnce(revealDelay, [this, task, edge] {
        if (EdgeRailController *rail = controller(edge))
            rail->panel().makeKeyAndOrderFront();
        m_revealTasks.erase(task);
    }));
}
