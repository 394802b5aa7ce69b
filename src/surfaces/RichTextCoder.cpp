#include "surfaces/RichTextCoder.h"

// Interim writer: plain characters only. The full reader and writer replace this file.
namespace RichTextCoder {

StyledText decode(const QByteArray &data)
{
    Q_UNUSED(data);
    return {};
}

QByteArray encode(const StyledText &text)
{
    QByteArray out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Helvetica;}}\\f0 ";
    for (const QChar c : text.text()) {
        const ushort u = c.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out += '\\';
            out += char(u);
        } else if (u == '\n') {
            out += "\\par\n";
        } else if (u < 0x80) {
            out += char(u);
        } else {
            out += "\\u" + QByteArray::number(qint16(u)) + '?';
        }
    }
    out += '}';
    return out;
}

} // namespace RichTextCoder
