// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>

#include <string_view>

// The lexical layer of RtfReader: an RTF byte stream cut into groups, control words,
// control symbols, hex escapes and plain bytes, and the control words the reader knows.
// Kept apart from the reader so that the parser reads as the grammar of a document.
namespace RtfSyntax {

struct Token
{
    enum class Kind
    {
        end,
        groupOpen,
        groupClose,
        controlWord,
        controlSymbol,
        hexByte,
        byte
    };

    Kind kind = Kind::end;
    std::string_view word;
    bool hasParameter = false;
    int parameter = 0;
    // The symbol of a control symbol, the value of a hex escape or of a plain byte.
    unsigned char value = 0;

    static Token of(Kind kind, unsigned char value = 0) { return {kind, {}, false, 0, value}; }
};

// Cuts a document into tokens from a position on. Never reads past the input, and a
// control word's numeric parameter saturates instead of overflowing.
class Tokenizer
{
public:
    Tokenizer(QByteArrayView input, qsizetype position) : m_input(input), m_position(position) {}

    Token next();

    // The data of `\binN`, which may hold anything, braces included.
    void skipBytes(qint64 count);

private:
    Token control();
    Token controlWord();

    QByteArrayView m_input;
    qsizetype m_position;
};

enum class Keyword
{
    character,
    bold,
    italic,
    underline,
    underlineNone,
    strikethrough,
    font,
    fontSize,
    colour,
    plain,
    unicode,
    unicodeSkip,
    defaultFont,
    binary,
    red,
    green,
    blue,
    fontTable,
    colourTable,
    alternatives,
    unicodeAlternative,
    skippedDestination,
    attachment,
    hidden,
    documentCodePage,
    ansiCodePage,
    fontCharacterSet,
    fontCodePage,
};

struct KeywordEntry
{
    Keyword keyword;
    char16_t character = 0;
    int codePage = 0;
};

// The control word's meaning, or nullptr for one the reader ignores.
const KeywordEntry *lookUp(std::string_view word);

} // namespace RtfSyntax
