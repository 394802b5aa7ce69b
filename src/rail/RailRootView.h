// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// The root of a rail panel's content, as the rail's controller sees it: a widget that can ask
// for the keyboard, so the controller connects to it with a typed connect whatever content
// the factory made.
class RailRootView : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

Q_SIGNALS:
    // The panel should take the keyboard (a note was opened to be typed into).
    void wantsKeyboard();
};
