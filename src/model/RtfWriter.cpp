// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/RtfWriter.h"

#include "model/Windows1252.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>

namespace {

bool hasUnpairedSurrogate(const QString &text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= size || !text.at(i + 1).isLowSurrogate())
                return true;
            ++i;
        } else if (c.isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

void appendHexByte(QByteArray &out, unsigned char byte)
{
    static constexpr char digits[] = "0123456789abcdef";
    out += "\\'";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

// A UTF-16 unit as `\uN` (RTF wants N as a signed 16-bit number) followed by the byte
// that readers without Unicode show instead.
void appendUnicodeEscape(QByteArray &out, char16_t unit)
{
    char digits[8] = {'\\', 'u'};
    const auto end = std::to_chars(digits + 2, std::end(digits), static_cast<qint16>(unit)).ptr;
    out.append(digits, end - digits);
    const std::optional<unsigned char> fallback = Windows1252::fromUnicode(unit);
    if (fallback && *fallback >= 0x80)
        appendHexByte(out, *fallback);
    else
        out += '?';
}

// Font and colour tables in order of first use; index 0 of each is the default.
class Tables
{
public:
    explicit Tables(const StyledText &text)
    {
        for (const StyledRun &run : text.runs()) {
            const TextAttributes &attributes = run.attributes;
            if (!attributes.fontFamily.isEmpty() && !m_fontIndex.contains(attributes.fontFamily)) {
                m_fonts.append(attributes.fontFamily);
                m_fontIndex.insert(attributes.fontFamily, int(m_fonts.size()));
            }
            if (const std::optional<QRgb> rgb = colourOf(attributes);
                rgb && !m_colourIndex.contains(*rgb)) {
                m_colours.append(*rgb);
                m_colourIndex.insert(*rgb, int(m_colours.size()));
            }
        }
    }

    int fontIndex(const QString &family) const { return m_fontIndex.value(family, 0); }
    int colourIndex(const TextAttributes &attributes) const
    {
        const std::optional<QRgb> rgb = colourOf(attributes);
        return rgb ? m_colourIndex.value(*rgb, 0) : 0;
    }

    void write(QByteArray &out) const
    {
        out += "{\\fonttbl{\\f0\\fnil\\fcharset0 ";
        out += RtfWriter::defaultFontName;
        out += ";}";
        for (qsizetype i = 0; i < m_fonts.size(); ++i) {
            out += "{\\f" + QByteArray::number(i + 1) + "\\fnil\\fcharset0 ";
            appendFontName(out, m_fonts.at(i));
            out += ";}";
        }
        out += "}\n{\\colortbl;";
        for (const QRgb rgb : m_colours) {
            out += "\\red" + QByteArray::number(qRed(rgb)) + "\\green" +
                   QByteArray::number(qGreen(rgb)) + "\\blue" + QByteArray::number(qBlue(rgb)) +
                   ';';
        }
        out += "}\n";
    }

private:
    static std::optional<QRgb> colourOf(const TextAttributes &attributes)
    {
        if (!attributes.foreground || !attributes.foreground->isValid())
            return std::nullopt;
        return attributes.foreground->rgb() & 0x00FFFFFF;
    }

    // A ';' would end the entry, so it goes as an escaped byte like the other specials.
    static void appendFontName(QByteArray &out, const QString &name)
    {
        for (const QChar c : name) {
            const char16_t unit = c.unicode();
            if (unit == ';' || unit == '\\' || unit == '{' || unit == '}')
                appendHexByte(out, static_cast<unsigned char>(unit));
            else if (unit >= 0x20 && unit < 0x7F)
                out += char(unit);
            else
                appendUnicodeEscape(out, unit);
        }
    }

    QStringList m_fonts;
    QHash<QString, int> m_fontIndex;
    QList<QRgb> m_colours;
    QHash<QRgb, int> m_colourIndex;
};

void appendRunStart(QByteArray &out, const TextAttributes &attributes, const Tables &tables)
{
    out += "\\plain";
    if (const int font = tables.fontIndex(attributes.fontFamily); font != 0)
        out += "\\f" + QByteArray::number(font);
    if (attributes.pointSize > 0 && std::isfinite(attributes.pointSize)) {
        const double halfPoints =
            std::clamp(std::round(attributes.pointSize * 2), double(RtfWriter::minimumHalfPoints),
                       double(RtfWriter::maximumHalfPoints));
        out += "\\fs" + QByteArray::number(int(halfPoints));
    }
    if (attributes.bold)
        out += "\\b";
    if (attributes.italic)
        out += "\\i";
    if (attributes.underline)
        out += "\\ul";
    if (attributes.strikethrough)
        out += "\\strike";
    if (const int colour = tables.colourIndex(attributes); colour != 0)
        out += "\\cf" + QByteArray::number(colour);
    out += ' ';
}

void appendCharacters(QByteArray &out, QStringView text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text.at(i).unicode();
        switch (unit) {
        case '\\':
        case '{':
        case '}':
            out += '\\';
            out += char(unit);
            break;
        case '\r':
            // A CR LF pair is one paragraph end, like the lone CR and LF.
            if (i + 1 < size && text.at(i + 1) == u'\n')
                ++i;
            out += "\\par\n";
            break;
        case '\n':
        case 0x2029:
            out += "\\par\n";
            break;
        case '\t':
            out += "\\tab ";
            break;
        case 0x2028:
            out += "\\line ";
            break;
        default:
            if (unit >= 0x20 && unit < 0x7F)
                out += char(unit);
            else
                appendUnicodeEscape(out, unit);
        }
    }
}

} // namespace

std::optional<QByteArray> RtfWriter::write(const StyledText &text)
{
    if (hasUnpairedSurrogate(text.text()))
        return std::nullopt;

    const Tables tables(text);
    QByteArray out;
    // Plain ASCII takes one byte a character; the rest up to a dozen.
    out.reserve(256 + text.text().size() * 2);
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n";
    tables.write(out);
    out += "\\pard";
    const QStringView characters(text.text());
    for (const StyledRun &run : text.runs()) {
        appendRunStart(out, run.attributes, tables);
        appendCharacters(out, characters.mid(run.start, run.length));
    }
    out += "}\n";
    return out;
}
