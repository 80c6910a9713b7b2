// The songs of the other formats: FLAC, Ogg Vorbis, Opus and WAV made at test time by the Debian tools,
// with clicks at known samples, through the same decoder the player uses.

#include "FormatTest.h"

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <random>

#include "TestSongs.h"
#include "platform/EnginePlayer.h"
#include "platform/SongDecoder.h"

namespace qiva::test {

namespace {

bool Run(const QString& program, const QStringList& arguments) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
        return false;
    }
    return true;
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The sources, each with clicks in every channel, and the files the encoders make of them.
struct Source {
    const char* name;
    SourceSpec spec;
};
const Source kSources[] = {
    {"s44", {44100, 2, 3 * 44100, {22068, 66484, 111250}}},
    {"s48", {48000, 2, 3 * 48000, {24000, 72001, 121111}}},
    {"m22", {22050, 1, 2 * 22050, {11025, 30001}}},
    {"m96x24", {96000, 1, 2 * 96000, {48000, 150001}, 0, 24}},
    {"six", {44100, 6, 2 * 44100, {22068, 66484}}},
};

struct Song {
    const char* file;
    const char* source;
    int rate;
    int channels;
    bool lossy;
};
// Opus always decodes at 48 kHz, so its sources are at 48 kHz too: the clicks are not moved by resampling.
const Song kSongs[] = {
    {"flac.flac", "s44", 44100, 2, false},     {"flac24-96k.flac", "m96x24", 96000, 1, false},
    {"flac51.flac", "six", 44100, 2, false},   {"tagged.flac", "s44", 44100, 2, false},
    {"wav.wav", "m22", 22050, 1, false},       {"float.wav", "s44", 44100, 2, false},
    {"vorbis.ogg", "s44", 44100, 2, true},     {"opus.opus", "s48", 48000, 2, true},
    {"opus-mono.opus", "m22", 48000, 1, true},
};

const SourceSpec& SpecOf(const char* source) {
    for (const Source& s : kSources)
        if (qstrcmp(s.name, source) == 0) return s.spec;
    QTest::qFail("no such source", __FILE__, __LINE__);
    return kSources[0].spec;
}

// An ID3v2.3 tag of `size` bytes of padding, as some taggers put before any format.
QByteArray Id3v2(int size) {
    QByteArray tag("ID3\x03\0\0", 6);
    for (int shift : {21, 14, 7, 0}) tag.append(char((size >> shift) & 0x7f));
    return tag + QByteArray(size, '\0');
}

class Folder {
public:
    static Folder& get() {
        static Folder folder;
        return folder;
    }
    QString path(const QString& name) const { return dir_.filePath(name); }
    bool ok() const { return ok_; }

private:
    Folder() {
        for (const Source& s : kSources) WriteClickWav(path(QString(s.name) + ".wav"), s.spec);
        const auto src = [&](const char* name) { return path(QString(name) + ".wav"); };
        ok_ = Run("flac", {"-s", "-f", src("s44"), "-o", path("flac.flac")}) &&
              Run("flac", {"-s", "-f", src("m96x24"), "-o", path("flac24-96k.flac")}) &&
              Run("sox", {src("six"), path("flac51.flac")}) && Run("cp", {src("m22"), path("wav.wav")}) &&
              Run("sox", {src("s44"), "-e", "floating-point", "-b", "32", path("float.wav")}) &&
              Run("oggenc", {"-Q", "-q", "4", src("s44"), "-o", path("vorbis.ogg")}) &&
              Run("opusenc", {"--quiet", "--bitrate", "128", src("s48"), path("opus.opus")}) &&
              // Resampled from 22.05 kHz by the encoder: the clicks move to 48 kHz frames, one either way.
              Run("opusenc", {"--quiet", src("m22"), path("opus-mono.opus")}) &&
              Write(path("tagged.flac"), Id3v2(5000) + Bytes(path("flac.flac"))) && makeNoise();
    }
    // Pink noise, as dense as music: silence with clicks compresses to almost nothing, so that half of such
    // a file would hold no audio at all.
    bool makeNoise() {
        const QString wav = path("noise.wav");
        return Run("sox", {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "3", "pinknoise",
                           "vol", "0.3"}) &&
               Run("flac", {"-s", "-f", wav, "-o", path("noise.flac")}) &&
               Run("oggenc", {"-Q", wav, "-o", path("noise.ogg")}) &&
               Run("opusenc", {"--quiet", wav, path("noise.opus")});
    }
    QTemporaryDir dir_;
    bool ok_ = false;
};

// The source's samples as the decoder must give them: surround mixed down to stereo, where equal clicks in
// every channel but the bass give the same click again.
std::vector<int16_t> Expected(const SourceSpec& spec, int channels, int16_t click) {
    std::vector<int16_t> out(size_t(spec.frames * channels), 0);
    for (int64_t frame : spec.clicks)
        for (int c = 0; c < channels; ++c) out[size_t(frame * channels + c)] = click;
    return out;
}

void AddSongRows() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<bool>("lossy");
    for (const Song& s : kSongs)
        QTest::newRow(s.file) << Folder::get().path(s.file) << QString(s.source) << s.rate << s.channels
                              << s.lossy;
}

int64_t FramesAt(const SourceSpec& spec, int rate) { return spec.frames * rate / spec.rate; }

}  // namespace

void FormatTest::initTestCase() {
    QVERIFY2(Folder::get().ok(), "the encoders could not make the test songs");
}

void FormatTest::exactLengthAndClicks_data() { AddSongRows(); }

// The length in samples, by the decoder, by a straight decode and by the player; then the clicks.
void FormatTest::exactLengthAndClicks() {
    QFETCH(QString, file);
    QFETCH(QString, source);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(bool, lossy);
    const SourceSpec& spec = SpecOf(qPrintable(source));
    SongDecoder d;
    d.open(file);
    QCOMPARE(d.rate(), rate);
    QCOMPARE(d.channels(), channels);
    QCOMPARE(d.lengthFrames(), FramesAt(spec, rate));
    const std::vector<int16_t> all = DecodeAll(file);
    QCOMPARE(qint64(all.size() / size_t(channels)), d.lengthFrames());
    EnginePlayer player(false, EnginePlayer::Output::Null);
    player.setFileName(file);
    QCOMPARE(player.Duration(), double(spec.frames) / spec.rate);
    if (!lossy) {
        // Every sample exactly; 24 bits rounded to the nearest 16-bit value, not cut.
        QVERIFY(all == Expected(spec, channels, int16_t(spec.bits == 24 ? kClick + 1 : kClick)));
        return;
    }
    for (int64_t click : spec.clicks) {
        const int64_t expected = click * rate / spec.rate;
        QVERIFY(qAbs(PeakFrame(all, channels, expected, 2000) - expected) <= (spec.rate == rate ? 0 : 1));
    }
}

void FormatTest::seekIsSampleExact_data() { AddSongRows(); }

void FormatTest::seekIsSampleExact() {
    QFETCH(QString, file);
    QFETCH(QString, source);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(bool, lossy);
    const SourceSpec& spec = SpecOf(qPrintable(source));
    const std::vector<int16_t> all = DecodeAll(file);
    SongDecoder d;
    d.open(file);
    // Backwards and forwards, onto a click, just before it, within a block or packet and blocks away.
    std::vector<int64_t> targets;
    for (int64_t click : spec.clicks)
        for (int64_t back : {0, 1, 577, 4096, 10000}) targets.push_back(click * rate / spec.rate - back);
    std::reverse(targets.begin(), targets.end());
    for (int64_t target : targets) {
        d.seek(target);
        QCOMPARE(d.tell(), target);
        std::vector<int16_t> got(size_t(8192 * channels));
        QCOMPARE(d.read(got.data(), 8192), size_t(8192));
        // Opus decodes in floating point from a state that has converged after the seek but is not the
        // same bit for bit: a sample may round to the 16-bit value next to it.
        const int most = lossy && rate == 48000 ? 1 : 0;
        const auto from = all.begin() + target * channels;
        QVERIFY2(std::equal(got.begin(), got.end(), from,
                            [&](int16_t a, int16_t b) { return qAbs(a - b) <= most; }),
                 qPrintable(QString("seek to %1").arg(target)));
    }
}

void FormatTest::refusesWhatIsNoSong_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    const Folder& f = Folder::get();
    const QByteArray flac = Bytes(f.path("flac.flac"));
    const QByteArray opus = Bytes(f.path("opus.opus"));
    const QByteArray wav = Bytes(f.path("wav.wav"));
    QByteArray noise(65536, '\0');
    std::mt19937 random(5);
    for (char& c : noise) c = char(random());
    QTest::newRow("text as flac") << "song.flac" << QByteArray("[歌词]\r\n第一行\r\n").repeated(300);
    QTest::newRow("picture as ogg") << "song.ogg" << QByteArray("\x89PNG\r\n\x1A\n", 8) + noise;
    QTest::newRow("noise as wav") << "song.wav" << noise;
    QTest::newRow("FLAC signature, then noise") << "song.flac" << QByteArray("fLaC") + noise;
    QTest::newRow("Ogg signature, then noise") << "song.ogg" << QByteArray("OggS") + noise;
    QTest::newRow("RIFF WAVE signature, then noise")
        << "song.wav" << QByteArray("RIFF\0\0\0\0WAVE", 12) + noise;
    QTest::newRow("FLAC headers only") << "song.flac" << flac.left(200);
    QTest::newRow("WAV header only") << "song.wav" << wav.left(44);
    QTest::newRow("Opus headers only") << "song.opus" << opus.left(1000);
    QByteArray otherCodec = opus;
    otherCodec.replace("OpusHead", "OpusHeaX");
    QTest::newRow("Ogg of another codec") << "song.ogg" << otherCodec;
    QTest::newRow("a hundredth of a second") << "song.flac" << QByteArray();  // made in the test
}

void FormatTest::refusesWhatIsNoSong() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (content.isEmpty()) {
        const QString wav = dir.filePath("short.wav");
        WriteClickWav(wav, SourceSpec{44100, 2, 441, {}});
        QVERIFY(Run("flac", {"-s", wav, "-o", path}));
    } else {
        QVERIFY(Write(path, content));
    }
    SongDecoder d;
    QVERIFY_THROWS_EXCEPTION(PlayerError, d.open(path));
    QVERIFY(!d.isOpen());
    QCOMPARE(d.lengthFrames(), qint64(0));
    EnginePlayer player(true, EnginePlayer::Output::Null);
    QVERIFY_THROWS_EXCEPTION(PlayerError, player.setFileName(path));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
}

void FormatTest::damagedFilesPlayWhatTheyHold_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<double>("leastSeconds");
    const Folder& f = Folder::get();
    for (const char* file : {"noise.flac", "noise.ogg", "noise.opus", "noise.wav"}) {
        const QByteArray whole = Bytes(f.path(file));
        QTest::newRow(qPrintable(QString("%1 cut in half").arg(file)))
            << QString(file) << whole.left(whole.size() / 2) << 0.5;
        QByteArray scratched = whole;
        std::mt19937 random(9);
        for (qsizetype i = scratched.size() / 3; i < scratched.size() / 3 + 600; ++i)
            scratched[i] = char(random());
        QTest::newRow(qPrintable(QString("%1 scratched").arg(file))) << QString(file) << scratched << 0.9;
    }
}

// A file cut short or scratched in the middle plays up to where it can, and its length is what it plays.
void FormatTest::damagedFilesPlayWhatTheyHold() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(double, leastSeconds);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    QVERIFY(Write(path, content));
    SongDecoder d;
    d.open(path);
    QVERIFY2(d.lengthSeconds() >= leastSeconds, qPrintable(QString::number(d.lengthSeconds())));
    const auto decoded = qint64(DecodeAll(path).size() / size_t(d.channels()));
    QVERIFY(decoded <= d.lengthFrames());
    if (name.endsWith(".flac") || name.endsWith(".wav") ||
        content.size() < Bytes(Folder::get().path(name)).size())
        QCOMPARE(decoded, d.lengthFrames());
    d.seek(d.lengthFrames() / 2);
    std::vector<int16_t> some(size_t(100 * d.channels()));
    QVERIFY(d.read(some.data(), 100) > 0);
}

void FormatTest::soundServerTakesAnyRateAndLayout_data() {
    QTest::addColumn<QString>("file");
    for (const char* file : {"flac24-96k.flac", "flac51.flac", "opus-mono.opus", "wav.wav"})
        QTest::newRow(file) << Folder::get().path(file);
}

// The server converts what the sound card cannot take; the position moves by the steady clock all the same.
void FormatTest::soundServerTakesAnyRateAndLayout() {
    QFETCH(QString, file);
    using Clock = std::chrono::steady_clock;
    EnginePlayer p(false, EnginePlayer::Output::Automatic);
    p.setFileName(file);
    p.Play();
    if (p.outputName() != "pulse") QSKIP("no sound server answers");
    QTRY_VERIFY_WITH_TIMEOUT(p.CurrentPosition() > 0.2, 3000);
    const double from = p.CurrentPosition();
    const Clock::time_point start = Clock::now();
    QTest::qWait(800);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    QVERIFY2(qAbs((p.CurrentPosition() - from) - wall) < 0.05,
             qPrintable(QString("%1 s heard in %2 s").arg(p.CurrentPosition() - from).arg(wall)));
    QCOMPARE(p.PlayState(), int(MediaPlayer::Playing));
}

}  // namespace qiva::test
