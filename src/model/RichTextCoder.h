// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/StyledText.h"

#include <QByteArray>
#include <QString>

// Turns a note's stored RTF into styled text and back. Stateless.
namespace RichTextCoder {

enum class Failure
{
    notRepresentableAsRTF
};

// Never fails: empty or unreadable bytes give empty styled text, a damaged document what
// could be read of it.
StyledText decode(const QByteArray &data);

// Throws Failure::notRepresentableAsRTF when no RTF can be produced: the only such text
// is one holding half of a surrogate pair, which is no character (decode never gives one).
// Empty text gives the RTF of an empty document.
QByteArray encode(const StyledText &text);

// What an editor opens with. When the stored RTF cannot be read but the note's plain
// text copy says there is a body, the plain text is used: opening empty would let the
// next keystroke overwrite the body.
StyledText decodeForEditor(const QByteArray &richText, const QString &plainText);

} // namespace RichTextCoder
