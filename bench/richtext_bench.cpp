// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding and decoding of note bodies, in MB/s of RTF. A note is saved 0.6 s after the
// last keystroke and decoded whenever it opens, so both run on the main thread.
#include "model/RichTextCoder.h"

#include <benchmark/benchmark.h>

#include <QColor>

#include <array>

namespace {

// A note of about `characters` UTF-16 units: Spanish prose with accents, emoji and curly
// quotes, paragraphs and line breaks, and a styled word now and then.
StyledText makeNote(qsizetype characters)
{
    static const std::array<QString, 12> words = {
        QStringLiteral("mañana"),   QStringLiteral("¿compramos"), QStringLiteral("pan?"),
        QStringLiteral("¡sí!"),     QStringLiteral("“reunión”"),  QStringLiteral("a las"),
        QStringLiteral("diez"),     QStringLiteral("con"),        QStringLiteral("Begoña"),
        QStringLiteral("y Andrés"), QStringLiteral("\U0001F389"), QStringLiteral("café"),
    };
    TextAttributes bold;
    bold.bold = true;
    TextAttributes red;
    red.foreground = QColor(200, 30, 30);
    TextAttributes code;
    code.fontFamily = QStringLiteral("DejaVu Sans Mono");
    code.pointSize = 14;

    StyledText note;
    for (qsizetype i = 0; note.text().size() < characters; ++i) {
        const QString &word = words[std::size_t(i) % words.size()];
        switch (i % 37) {
        case 5:
            note.append(word, bold);
            break;
        case 17:
            note.append(word, red);
            break;
        case 29:
            note.append(word, code);
            break;
        default:
            note.append(word);
        }
        note.append(i % 23 == 22   ? QStringLiteral("\n")
                    : i % 11 == 10 ? QStringLiteral("\u2028")
                                   : QStringLiteral(" "));
    }
    return note;
}

void encode(benchmark::State &state)
{
    const StyledText note = makeNote(state.range(0));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray rtf = RichTextCoder::encode(note);
        bytes = rtf.size();
        benchmark::DoNotOptimize(rtf.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["rtfBytes"] = double(bytes);
    state.counters["noteCharacters"] = double(note.text().size());
}

void decode(benchmark::State &state)
{
    const StyledText note = makeNote(state.range(0));
    const QByteArray rtf = RichTextCoder::encode(note);
    for (auto _ : state) {
        const StyledText decoded = RichTextCoder::decode(rtf);
        benchmark::DoNotOptimize(decoded.text().constData());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
    state.counters["rtfBytes"] = double(rtf.size());
    state.counters["noteCharacters"] = double(note.text().size());
}

// A document of another program in code page 936, as WordPad writes Chinese: every
// character two \'hh escapes under a font of that character set, a paragraph now and then.
void decodeDoubleByte(benchmark::State &state)
{
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fnil\\fcharset134 SimSun;}}"
                   "\\f0\\fs24 ");
    const QByteArray word("\\'c4\\'e3\\'ba\\'c3\\'ca\\'c0\\'bd\\'e7 "); // 你好世界
    for (qsizetype i = 0; rtf.size() < state.range(0); ++i)
        rtf += i % 40 == 39 ? QByteArray("\\par\n") : word;
    rtf += "}";
    qsizetype characters = 0;
    for (auto _ : state) {
        const StyledText decoded = RichTextCoder::decode(rtf);
        characters = decoded.text().size();
        benchmark::DoNotOptimize(decoded.text().constData());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
    state.counters["rtfBytes"] = double(rtf.size());
    state.counters["noteCharacters"] = double(characters);
}

} // namespace

BENCHMARK(encode)->Arg(10 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(decode)->Arg(10 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);
BENCHMARK(decodeDoubleByte)->Arg(10 * 1024)->Arg(1024 * 1024)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
