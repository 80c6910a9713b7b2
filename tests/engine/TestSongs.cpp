#include "TestSongs.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/SongDecoder.h"

namespace qiva::test {

namespace {

void Put32(QByteArray& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xff));
}
void Put16(QByteArray& b, uint16_t v) {
    b.append(char(v & 0xff));
    b.append(char(v >> 8));
}

}  // namespace

void WriteClickWav(const QString& path, const SourceSpec& spec) {
    const int bytes = spec.bits / 8;
    const auto dataBytes = uint32_t(spec.frames * spec.channels * bytes);
    QByteArray b;
    b.append("RIFF");
    Put32(b, 36 + dataBytes);
    b.append("WAVEfmt ");
    Put32(b, 16);
    Put16(b, 1);
    Put16(b, uint16_t(spec.channels));
    Put32(b, uint32_t(spec.rate));
    Put32(b, uint32_t(spec.rate * spec.channels * bytes));
    Put16(b, uint16_t(spec.channels * bytes));
    Put16(b, uint16_t(spec.bits));
    b.append("data");
    Put32(b, dataBytes);
    QByteArray pcm(qsizetype(dataBytes), '\0');
    for (int64_t i = 0; spec.tone != 0 && i < spec.frames; ++i) {
        const auto s = int32_t(std::lround(spec.tone * std::sin(2 * M_PI * 440 * double(i) / spec.rate)));
        const uint32_t v = bytes == 3 ? uint32_t(s) << 8 : uint32_t(s);
        for (int c = 0; c < spec.channels; ++c)
            for (int k = 0; k < bytes; ++k)
                pcm[qsizetype((i * spec.channels + c) * bytes + k)] = char((v >> (8 * k)) & 0xff);
    }
    const uint32_t click = bytes == 3 ? uint32_t(kClick) << 8 | 0xC0 : uint32_t(kClick);
    for (int64_t frame : spec.clicks)
        for (int c = 0; c < spec.channels; ++c) {
            const qsizetype at = qsizetype((frame * spec.channels + c) * bytes);
            for (int i = 0; i < bytes; ++i) pcm[at + i] = char((click >> (8 * i)) & 0xff);
        }
    b.append(pcm);
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(b), b.size());
}

bool Encode(const QString& wav, const QString& mp3, const QStringList& lameOptions) {
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               QStringList{QStringLiteral("--quiet")} + lameOptions + QStringList{wav, mp3});
    if (!lame.waitForFinished(60000) || lame.exitStatus() != QProcess::NormalExit || lame.exitCode() != 0) {
        qWarning("lame failed for %s: %s", qPrintable(mp3), lame.readAllStandardError().constData());
        return false;
    }
    return true;
}

int64_t PeakFrame(const std::vector<int16_t>& samples, int channels, int64_t around, int64_t radius) {
    const int64_t frames = int64_t(samples.size()) / channels;
    const int64_t lo = std::max<int64_t>(0, around - radius);
    const int64_t hi = std::min<int64_t>(frames, around + radius + 1);
    int64_t best = lo;
    for (int64_t i = lo; i < hi; ++i)
        if (std::abs(samples[size_t(i * channels)]) > std::abs(samples[size_t(best * channels)])) best = i;
    return best;
}

std::vector<int16_t> DecodeAll(const QString& song, int* channels) {
    SongDecoder d;
    d.open(song);
    std::vector<int16_t> all(size_t(d.lengthFrames() * d.channels()));
    size_t at = 0;
    while (at < all.size()) {
        const size_t n = d.read(all.data() + at, (all.size() - at) / size_t(d.channels()));
        if (n == 0) break;
        at += n * size_t(d.channels());
    }
    all.resize(at);
    if (channels) *channels = d.channels();
    return all;
}

const SourceSpec& SongFolder::source() {
    // Clicks at even frames, so that they fall on whole frames of the 22.05 kHz file too.
    static const SourceSpec spec{44100, 2, 3 * 44100, {22068, 66484, 111250}};
    return spec;
}

SongFolder& SongFolder::get() {
    static SongFolder folder;
    return folder;
}

SongFolder::SongFolder() {
    const QString wav = path("click.wav");
    WriteClickWav(wav, source());
    const QStringList tag{"--add-id3v2", "--pad-id3v2-size", "20000", "--tt", "Title", "--ta", "Singer"};
    ok_ = Encode(wav, cbr(), {"-b", "128"}) && Encode(wav, vbr(), {"-V", "2"}) &&
          Encode(wav, mono(), {"-m", "m", "--resample", "22.05", "-b", "64"}) &&
          Encode(wav, tagged(), QStringList{"-b", "160"} + tag);
}

}  // namespace qiva::test
