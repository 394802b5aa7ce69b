// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QUrl;

// Whether what goes to an address can be read on the way. Loopback addresses never leave
// the computer, so plain http:// to them is as safe as https:// (and is what tests use).
namespace UrlSafety {

// The host is this computer: localhost, 127.0.0.0/8 or ::1.
bool isLoopback(const QUrl &url);
// http:// to any other host: passwords and contents cross the network in clear.
bool travelsInClear(const QUrl &url);
// https://, or http:// to this computer.
bool isPrivateChannel(const QUrl &url);

} // namespace UrlSafety
