// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the RTF reader: note bodies come from the store, which other
// machines write, so the reader must survive any bytes.
#include "model/RtfReader.h"
#include "model/RtfWriter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "rtf_fuzzer: %s\n", what);
    std::abort();
}

void checkWellFormed(const StyledText &text)
{
    qsizetype next = 0;
    const StyledRun *previous = nullptr;
    for (const StyledRun &run : text.runs()) {
        if (run.start != next || run.length <= 0)
            fail("runs do not cover the text in order");
        if (previous && previous->attributes == run.attributes)
            fail("neighbouring runs share their attributes");
        next = run.start + run.length;
        previous = &run;
    }
    if (next != text.text().size())
        fail("runs do not reach the end of the text");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const StyledText text = RtfReader::read(bytes);
    checkWellFormed(text);

    // Whatever the reader gives, the writer can write, and it reads back the same.
    const std::optional<QByteArray> written = RtfWriter::write(text);
    if (!written)
        fail("the reader gave text the writer refuses");
    if (!(RtfReader::read(*written) == text))
        fail("written text does not read back the same");
    return 0;
}
