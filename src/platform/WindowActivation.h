// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QWidget;

// Gives a top-level window the keyboard even while another application is in front.
namespace WindowActivation {

// Raises the window of `widget` and activates it. On X11 the request is also made as a
// pager makes it, which window managers grant without their focus-stealing checks; for a
// window that is not mapped yet it is made as soon as the window is exposed.
// `userTime` is the X server time of the key or button press that asked for the window
// (X11UserTime::latest()); 0 when there was none, which some window managers refuse.
void activate(QWidget *widget, unsigned int userTime = 0);

} // namespace WindowActivation
