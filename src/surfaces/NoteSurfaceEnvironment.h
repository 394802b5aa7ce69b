// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "surfaces/ColorScheme.h"
#include "surfaces/NoteFontStyle.h"

#include <QPointer>

#include <chrono>
#include <memory>
#include <optional>

class CardShadowCache;
class ModelContext;
class UserDefaults;

// What the host of a note surface (a rail, a floating window, the tour) hands down to the
// cards, bodies, editors and fields inside it. A plain value, copied into each piece.
struct NoteSurfaceEnvironment
{
    // How long an editor waits after the last change before it writes.
    static constexpr std::chrono::milliseconds defaultSaveDelay{600};

    // The context editors save through; without one they edit but never save.
    QPointer<ModelContext> context;
    // False shows notes read-only: no editor, no title field.
    bool noteEditingEnabled = true;
    // The appearance to paint in; absent follows the desktop.
    std::optional<ColorScheme> colorScheme;
    // Where the font settings are read; absent means the application's standard defaults.
    QPointer<UserDefaults> defaults;
    std::chrono::milliseconds saveDelay = defaultSaveDelay;
    // Shadows shared by the cards of one host; absent gives each card its own.
    std::shared_ptr<CardShadowCache> shadows;

    ColorScheme scheme() const { return colorScheme.value_or(currentColorScheme()); }
    // The settings the surfaces read (the standard defaults unless others were given).
    UserDefaults &settings() const;
    // The note font from the settings as they are now, at `scale`.
    NoteFontStyle fontStyle(double scale = 1.0) const;
    // `fontStyle(scale).font()` sized for drawing.
    QFont noteFont(double scale = 1.0) const;
};
