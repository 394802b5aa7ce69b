// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

// Character attributes of a run of styled text. Unset members (empty family, zero
// size, no colour) mean "the surface's default".
struct TextAttributes
{
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    QString fontFamily;
    double pointSize = 0;
    std::optional<QColor> foreground;

    bool isPlain() const { return *this == TextAttributes{}; }
    friend bool operator==(const TextAttributes &, const TextAttributes &) = default;
};

struct StyledRun
{
    qsizetype start = 0;
    qsizetype length = 0;
    TextAttributes attributes;

    friend bool operator==(const StyledRun &, const StyledRun &) = default;
};

// The body of a note as the editor sees it: characters plus runs of attributes.
// Paragraphs end with '\n'; a line break inside a paragraph is U+2028.
// Runs cover the text without gaps, in order, and neighbours never share attributes.
class StyledText
{
public:
    StyledText() = default;
    static StyledText plain(const QString &text);

    const QString &text() const { return m_text; }
    const QList<StyledRun> &runs() const { return m_runs; }
    bool isEmpty() const { return m_text.isEmpty(); }

    void append(const QString &text, const TextAttributes &attributes = {});
    void append(const StyledText &other);
    // The attributes of the character at `position` (plain past the end).
    TextAttributes attributesAt(qsizetype position) const;

    friend bool operator==(const StyledText &, const StyledText &) = default;

private:
    QString m_text;
    QList<StyledRun> m_runs;
};
