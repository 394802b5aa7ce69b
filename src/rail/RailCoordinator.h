// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ScreenEdge.h"
#include "model/ScreenSource.h"
#include "platform/Subscription.h"
#include "rail/EdgeRailController.h"

#include <QMetaObject>
#include <QObject>
#include <QPointF>
#include <QWidget>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class FloatingWindows;
class ModelContainer;
class OwnMenus;
class Note;

class RailFocus;
class SyncWatcher;
class UserDefaults;
class WindowSystem;
struct RailEnvironment;

// The two rails, left and right, on the screen chosen in the settings: keeps them there as
// displays and settings change, feeds them the global pointer and every mouse-down, gathers
// the notes when the default edge changes, and opens a note on its rail on request.
// Main thread only.
class RailCoordinator : public QObject
{
    Q_OBJECT

public:
    // Builds the content of one rail from the objects it shares with its host and the
    // other rail.
    using RailContentFactory =
        std::function<std::unique_ptr<QWidget>(ScreenEdge edge, const RailEnvironment &)>;
    // The rail content of the application.
    static std::unique_ptr<QWidget> edgeRailRoot(ScreenEdge edge,
                                                 const RailEnvironment &environment);

    static constexpr std::chrono::milliseconds samplerInterval{100};
    // While the desktop reports every move and the pointer is away from the rails, with no
    // card open: only a warp can go unnoticed, and it is seen within this time.
    static constexpr std::chrono::milliseconds idleSamplerInterval{1000};
    // Between activating the application and giving the revealed note's panel the
    // keyboard, so the activation has settled before the panel asks for the keyboard.
    static constexpr std::chrono::milliseconds revealDelay{150};

    // `floatingNotes` may be absent (notes sent off the rail are then only marked floating).
    RailCoordinator(WindowSystem &windows, UserDefaults &defaults, ModelContainer *container,
                    FloatingWindows *floatingNotes, SyncWatcher *sync,
                    RailContentFactory makeContent = &RailCoordinator::edgeRailRoot,
                    QObject *parent = nullptr,
                    std::optional<EdgeRailController::PointerReach> reach = std::nullopt);
    ~RailCoordinator() override;

    // Creates the rails on the chosen screen and starts following the pointer, the screens
    // and the settings. Does nothing while rails exist, or when no screen is connected.
    void start();
    // Removes the rails and stops observing; start() may be called again.
    void stop();
    // Opens `note` on the rail of its edge and, a moment later, gives that rail the keyboard.
    void reveal(const Note &note);

    // Moves both rails onto the chosen screen; they keep their frames when there is none.
    void layoutPanels();
    // After any settings change: follows the rail screen, and gathers every note on the
    // default edge when that changed.
    void settingsChanged();
    void installPointerMonitors();
    void removePointerMonitors();
    // Forwards the global pointer to each rail, unless it has not moved since the last time.
    void samplePointer();
    // Samples ten times a second while a missed event would matter, and once a second
    // otherwise, so a still pointer away from the rails costs next to nothing.
    void updateSampler();
    std::chrono::milliseconds samplerRate() const { return m_samplerRate; }
    // Tells each rail where a mouse button went down.
    void pointerClicked(const QPointF &location);
    // With the rails on the screen under the cursor, follows the cursor to another screen.
    void followCursorScreen();

    // Left, then right; empty while not started.
    const std::vector<std::unique_ptr<EdgeRailController>> &controllers() const
    {
        return m_controllers;
    }
    EdgeRailController *controller(ScreenEdge edge) const;
    RailFocus &focus() const { return *m_focus; }
    std::optional<ScreenInfo> currentScreen() const { return m_currentScreen; }
    ScreenEdge lastKnownEdge() const { return m_lastKnownEdge; }
    QPointF lastPointer() const { return m_lastPointer; }
    int pointerMonitorCount() const { return int(m_pointerMonitors.size()); }
    bool isObserving() const;

private:
    std::optional<ScreenInfo> resolveScreen() const;
    bool needsFastSampler() const;
    void pointerCrossedPanel(bool entered);

    WindowSystem &m_windows;
    UserDefaults &m_defaults;
    ModelContainer *m_container;
    FloatingWindows *m_floatingNotes;
    std::unique_ptr<RailFocus> m_focus;
    SyncWatcher *m_sync;
    RailContentFactory m_makeContent;
    std::vector<std::unique_ptr<EdgeRailController>> m_controllers;
    QMetaObject::Connection m_screenObserver;
    QMetaObject::Connection m_settingsObserver;
    std::vector<Subscription> m_pointerMonitors;
    std::optional<Subscription> m_pointerSampler;
    std::chrono::milliseconds m_samplerRate = samplerInterval;
    std::vector<QMetaObject::Connection> m_keyObservers;
    // Whether the desktop reports pointer moves over other applications' windows.
    bool m_seesEveryMove = false;
    std::optional<EdgeRailController::PointerReach> m_reach;
    QPointF m_lastPointer;
    // Set when a rail was told of the pointer by a crossing of its panel: the next sample
    // goes to the rails even where the pointer is where it was last sampled.
    bool m_railsToldOtherwise = false;
    ScreenEdge m_lastKnownEdge;
    std::optional<ScreenInfo> m_currentScreen;
    std::map<quint64, Subscription> m_revealTasks;
    quint64 m_nextRevealTask = 0;
    std::unique_ptr<OwnMenus> m_ownMenus;
};
