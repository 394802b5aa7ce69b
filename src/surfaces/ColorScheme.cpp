// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/ColorScheme.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPalette>
#include <QStyleHints>
#include <QtGlobal>

namespace {

ColorScheme schemeFromPalette()
{
    // A dark theme paints its windows dark; HSL lightness splits the two at mid-grey.
    const QColor window = QGuiApplication::palette().color(QPalette::Window);
    return window.lightnessF() < 0.5 ? ColorScheme::dark : ColorScheme::light;
}

} // namespace

ColorScheme currentColorScheme()
{
    if (qGuiApp == nullptr)
        return ColorScheme::light;
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
    switch (QGuiApplication::styleHints()->colorScheme()) {
    case Qt::ColorScheme::Dark:
        return ColorScheme::dark;
    case Qt::ColorScheme::Light:
        return ColorScheme::light;
    case Qt::ColorScheme::Unknown:
        break;
    }
#endif
    return schemeFromPalette();
}

bool isAppearanceChange(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::ThemeChange:
    case QEvent::PaletteChange:
    case QEvent::ApplicationPaletteChange:
        return true;
    default:
        return false;
    }
}
