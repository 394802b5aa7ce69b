// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/ModelContainer.h"
#include "model/UserDefaults.h"
#include "rail/AnimationClock.h"
#include "rail/InteractiveRegions.h"
#include "rail/RailFocus.h"
#include "rail/RailPointer.h"
#include "rail/WindowSystem.h"
#include "sync/SyncWatcher.h"

#include <QPointer>

#include <chrono>

class FloatingWindows;

// The shared objects a rail's views read: the store, the rail's own regions and pointer, the
// focus requests both rails share, the sync watcher, the window system and the settings.
// Every entry may be absent; a rail without one simply does without what it provides.
struct RailEnvironment
{
    // How long the pointer must rest at the edge before a sleeping rail wakes.
    static constexpr std::chrono::milliseconds defaultWakeDwell{280};

    QPointer<ModelContainer> container;
    // Where "Abrir" sends a note; may be absent (the note is then only marked floating).
    FloatingWindows *floatingNotes = nullptr;
    QPointer<RailFocus> railFocus;
    QPointer<RailPointer> railPointer;
    QPointer<InteractiveRegions> interactiveRegions;
    QPointer<SyncWatcher> syncWatcher;
    // Pressed mouse buttons anywhere on the desktop and the wake timer. Without one the rail
    // only knows the buttons held over its own windows and uses a timer of its own.
    QPointer<WindowSystem> windowSystem;
    // The settings read by the rail and its cards; absent means the standard defaults.
    QPointer<UserDefaults> defaults;
    // False shows the notes read-only.
    bool noteEditingEnabled = true;

    std::chrono::milliseconds wakeDwell = defaultWakeDwell;
    // Drives the rail's springs; absent gives the rail a real frame clock of its own.
    QPointer<AnimationClock> animationClock;
};
