// SPDX-License-Identifier: GPL-3.0-or-later
#include "surfaces/FloatingNotePositions.h"
#include "updates/AppcastFeed.h"
#include "updates/UpdateSignature.h"

#include <benchmark/benchmark.h>
#include <sodium.h>

// What an update check costs once the bytes are here: reading a long feed, checking the
// signature of an archive, and the position text a floating window writes on every move.

static QByteArray longFeed(int items)
{
    QByteArray xml = "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
                     "<channel>";
    for (int i = 0; i < items; ++i) {
        const QByteArray v = "1." + QByteArray::number(i);
        xml += "<item><title>Orlette " + v +
               "</title><pubDate>Tue, 04 Jun 2024 10:30:00 +0200"
               "</pubDate><sparkle:version>" +
               v +
               "</sparkle:version><description><![CDATA["
               "<ul><li>Cambios</li></ul>]]></description><enclosure url=\"Orlette-" +
               v + ".tar.gz\" length=\"5230100\" sparkle:edSignature=\"QUJDREVGR0g=\"/></item>";
    }
    return xml + "</channel></rss>";
}

static void BM_ParseFeed(benchmark::State &state)
{
    const QByteArray xml = longFeed(int(state.range(0)));
    const QUrl base(QStringLiteral("https://example.org/appcast.xml"));
    for (auto _ : state) {
        const auto feed = AppcastFeed::parse(xml, base);
        benchmark::DoNotOptimize(feed->newestApplicable(QStringLiteral("0.1.0")));
    }
    state.SetBytesProcessed(state.iterations() * xml.size());
}
BENCHMARK(BM_ParseFeed)->Arg(10)->Arg(200);

static void BM_VerifyArchive(benchmark::State &state)
{
    if (sodium_init() < 0) {
        state.SkipWithError("libsodium");
        return;
    }
    unsigned char publicKey[crypto_sign_PUBLICKEYBYTES];
    unsigned char secretKey[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(publicKey, secretKey);
    const QByteArray archive(int(state.range(0)), 'x');
    unsigned char signature[crypto_sign_BYTES];
    crypto_sign_detached(signature, nullptr,
                         reinterpret_cast<const unsigned char *>(archive.constData()),
                         archive.size(), secretKey);
    const QString signature64 = QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(signature), sizeof signature).toBase64());
    const auto key = UpdateSignature::fromPublicKey(
        QByteArray(reinterpret_cast<const char *>(publicKey), sizeof publicKey).toBase64());
    for (auto _ : state)
        benchmark::DoNotOptimize(key->verifies(archive, signature64));
    state.SetBytesProcessed(state.iterations() * archive.size());
}
BENCHMARK(BM_VerifyArchive)->Arg(1 << 20)->Arg(32 << 20)->Unit(benchmark::kMillisecond);

static void BM_PositionText(benchmark::State &state)
{
    const QPointF origin(412.25, 318.5);
    for (auto _ : state) {
        const auto text = FloatingNotePositions::format(origin);
        benchmark::DoNotOptimize(FloatingNotePositions::parse(*text));
    }
}
BENCHMARK(BM_PositionText);

BENCHMARK_MAIN();
