// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/StyledText.h"

StyledText StyledText::plain(const QString &text)
{
    StyledText styled;
    styled.append(text);
    return styled;
}

void StyledText::append(const QString &text, const TextAttributes &attributes)
{
    if (text.isEmpty())
        return;
    if (!m_runs.isEmpty() && m_runs.last().attributes == attributes) {
        m_runs.last().length += text.size();
    } else {
        m_runs.append(StyledRun{m_text.size(), text.size(), attributes});
    }
    m_text += text;
}

void StyledText::append(const StyledText &other)
{
    for (const StyledRun &run : other.m_runs)
        append(other.m_text.mid(run.start, run.length), run.attributes);
}

TextAttributes StyledText::attributesAt(qsizetype position) const
{
    for (const StyledRun &run : m_runs) {
        if (position >= run.start && position < run.start + run.length)
            return run.attributes;
    }
    return {};
}
