// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Gives a top-level window the keyboard even while another application is in front.
namespace WindowActivation {

// Raises the window of `widget` and activates it. On X11 the request is also made as a
// pager makes it, which window managers grant without their focus-stealing checks; for a
// window that is not mapped yet it is made as soon as the window is exposed.
void activate(QWidget *widget);

} // namespace WindowActivation
