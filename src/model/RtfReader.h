// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/StyledText.h"

#include <QByteArrayView>

// Reads the text and character attributes of an RTF document, as written by common word
// processors and by RtfWriter. Bytes are read in the code page the document declares
// (\ansicpg, \mac, \pc, \pca) or that of their font (\fcharset, \cpg), double-byte ones
// included. Paragraph and document formatting, pictures, objects, attachments, hidden
// text and the other destinations a note cannot show are skipped.
//
// Input is untrusted: anything that does not start like an RTF document gives empty
// text, a truncated or malformed document gives what could be read before the damage,
// and the work is linear in the size of the input.
class RtfReader
{
public:
    // Groups nested deeper than this are skipped whole.
    static constexpr int maximumGroupDepth = 200;

    static StyledText read(QByteArrayView rtf);
};
