// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>

// Code page 1252, the 8-bit character set that `\ansi` RTF documents use for `\'hh`
// escapes and for their fallback bytes.
namespace Windows1252 {

// The character a byte stands for. The five positions the code page leaves undefined
// map to the C1 controls of the same number, as Windows itself does.
char16_t toUnicode(unsigned char byte);
// The byte for a character, when the code page has one.
std::optional<unsigned char> fromUnicode(char16_t character);

} // namespace Windows1252
