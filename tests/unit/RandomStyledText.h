// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/StyledText.h"

#include <QColor>
#include <QString>

#include <array>
#include <random>

// Random styled text for round-trip tests: runs of characters a note may hold (accents,
// Spanish punctuation, curly quotes, emoji beyond the 16-bit plane, RTF's own special
// characters, tabs, paragraph and line breaks) with random attributes.
class RandomStyledText
{
public:
    explicit RandomStyledText(unsigned seed) : m_engine(seed) {}

    StyledText next(int maximumRuns = 12)
    {
        StyledText text;
        const int runs = pick(0, maximumRuns);
        for (int i = 0; i < runs; ++i)
            text.append(characters(pick(1, 20)), attributes());
        return text;
    }

    QString characters(int count)
    {
        static const std::array<const char16_t *, 30> pieces = {
            u"a", u"Z", u"0",          u" ",          u"  ",     u"\\",     u"{", u"}",
            u";", u"?", u"\t",         u"\n",         u"\u2028", u"á",      u"É", u"ñ",
            u"Ñ", u"ü", u"¿",          u"¡",          u"“",      u"”",      u"‘", u"’",
            u"€", u"—", u"\U0001F600", u"\U0001F98A", u"中",     u"\u00A0",
        };
        QString result;
        for (int i = 0; i < count; ++i)
            result += QString::fromUtf16(pieces[pick(0, int(pieces.size()) - 1)]);
        return result;
    }

    TextAttributes attributes()
    {
        static const std::array<const char *, 5> families = {
            "DejaVu Sans",         "Caveat",          "Noto Serif; Display",
            "Año {Nuevo} \\ Sans", "Liberation Mono",
        };
        TextAttributes attributes;
        attributes.bold = coin();
        attributes.italic = coin();
        attributes.underline = coin();
        attributes.strikethrough = coin();
        if (coin())
            attributes.fontFamily = QString::fromUtf8(families[pick(0, int(families.size()) - 1)]);
        if (coin())
            attributes.pointSize = pick(2, 400) / 2.0;
        if (coin())
            attributes.foreground = QColor(pick(0, 255), pick(0, 255), pick(0, 255));
        return attributes;
    }

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool coin() { return pick(0, 1) == 1; }

private:
    std::mt19937 m_engine;
};
