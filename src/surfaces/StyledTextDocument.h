// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/StyledText.h"

class QTextCharFormat;
class QTextDocument;

// Moves styled text in and out of the QTextDocument that an editor shows. Attributes a
// run leaves unset are left off the character format, so the editor's own font, size
// and ink apply there. Paragraphs become blocks; U+2028 stays a line break inside one.
//
// Reading back what was written gives the same styled text, so an editor can tell a
// real edit from the round trip.
namespace StyledTextDocument {

StyledText toStyledText(const QTextDocument &document);
// Replaces the whole content of `document`.
void setStyledText(QTextDocument &document, const StyledText &text);

QTextCharFormat charFormat(const TextAttributes &attributes);
TextAttributes attributes(const QTextCharFormat &format);

} // namespace StyledTextDocument
