// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RichTextCoder.h"

#include "model/RtfReader.h"
#include "model/RtfWriter.h"

namespace RichTextCoder {

StyledText decode(const QByteArray &data)
{
    if (data.isEmpty())
        return {};
    return RtfReader::read(data);
}

QByteArray encode(const StyledText &text)
{
    std::optional<QByteArray> rtf = RtfWriter::write(text);
    if (!rtf)
        throw Failure::notRepresentableAsRTF;
    return std::move(*rtf);
}

StyledText decodeForEditor(const QByteArray &richText, const QString &plainText)
{
    StyledText text = decode(richText);
    if (text.isEmpty() && !plainText.isEmpty())
        return StyledText::plain(plainText);
    return text;
}

} // namespace RichTextCoder
