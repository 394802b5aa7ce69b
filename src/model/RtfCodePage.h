// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <unordered_map>

struct UConverter;

// The 8-bit and double-byte code pages an RTF document can declare for its bytes: the
// document's own (`\ansi`, `\mac`, `\pc`, `\pca`, `\ansicpgN`) and each font's (`\fcharsetN`,
// `\cpgN`). Code pages are named by their Windows numbers, as RTF names them.
namespace RtfCodePage {

constexpr int windowsLatin = 1252;
constexpr int macRoman = 10000;
constexpr int pcUnitedStates = 437;
constexpr int pcMultilingual = 850;

// The code page of a font character set (`\fcharsetN`); 0 for the sets that mean "the
// document's code page" (ANSI, default, symbol) and for unknown ones.
int forCharacterSet(int characterSet);

} // namespace RtfCodePage

// Turns runs of bytes into text, one code page at a time. A run is decoded whole, so the
// two bytes of a double-byte character (code pages 932, 936, 949, 950) stay together; a
// byte that the code page does not map, or a lead byte without its trail, becomes U+FFFD.
// Unknown code pages read as 1252, like documents that declare none.
class RtfCodePageDecoder
{
public:
    RtfCodePageDecoder();
    ~RtfCodePageDecoder();
    RtfCodePageDecoder(const RtfCodePageDecoder &) = delete;
    RtfCodePageDecoder &operator=(const RtfCodePageDecoder &) = delete;

    QString decode(int codePage, QByteArrayView bytes);

private:
    struct Closer
    {
        void operator()(UConverter *converter) const;
    };
    using Converter = std::unique_ptr<UConverter, Closer>;

    UConverter *converter(int codePage);

    // One converter per code page met in the document; null for those ICU lacks.
    std::unordered_map<int, Converter> m_converters;
};
