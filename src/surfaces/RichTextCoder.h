#pragma once

#include "surfaces/StyledText.h"

#include <QByteArray>

// Turns a note's stored RTF into styled text and back. Stateless.
namespace RichTextCoder {

enum class Failure { notRepresentableAsRTF };

// Never fails: empty or unreadable bytes give empty styled text.
StyledText decode(const QByteArray &data);
// Throws Failure::notRepresentableAsRTF when no RTF can be produced.
QByteArray encode(const StyledText &text);

} // namespace RichTextCoder
