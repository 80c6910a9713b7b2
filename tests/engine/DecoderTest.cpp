// The decoder under the player: exact lengths, sample-exact seeking, refusal of files that are not songs.

#include "DecoderTest.h"

#include <QFile>
#include <QProcess>
#include <QtTest>
#include <random>

#include "TestSongs.h"
#include "platform/AudioDecoder.h"
#include "platform/EnginePlayer.h"

namespace qiva::test {

void DecoderTest::initTestCase() { QVERIFY2(SongFolder::get().ok(), "lame could not make the test songs"); }

void DecoderTest::exactLength_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<qint64>("frames");
    const SongFolder& s = SongFolder::get();
    QTest::newRow("cbr") << s.cbr() << 44100 << 2 << qint64(132300);
    QTest::newRow("vbr") << s.vbr() << 44100 << 2 << qint64(132300);
    QTest::newRow("mono 22.05 kHz") << s.mono() << 22050 << 1 << qint64(66150);
    QTest::newRow("id3v2 tag") << s.tagged() << 44100 << 2 << qint64(132300);
}

void DecoderTest::exactLength() {
    QFETCH(QString, file);
    QFETCH(int, rate);
    QFETCH(int, channels);
    QFETCH(qint64, frames);
    Mp3Decoder d;
    d.open(file);
    QCOMPARE(d.rate(), rate);
    QCOMPARE(d.channels(), channels);
    QCOMPARE(d.lengthFrames(), frames);
    // Straight decoding gives exactly that many frames too.
    QCOMPARE(qint64(DecodeAll(file).size() / size_t(channels)), frames);
    // The player knows the length as soon as the file is named.
    EnginePlayer player(false, EnginePlayer::Output::Null);
    player.setFileName(file);
    QCOMPARE(player.Duration(), 3.0);
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
}

void DecoderTest::clicksWhereTheSourceHasThem_data() { exactLength_data(); }

void DecoderTest::clicksWhereTheSourceHasThem() {
    QFETCH(QString, file);
    QFETCH(int, rate);
    int channels = 0;
    const std::vector<int16_t> all = DecodeAll(file, &channels);
    for (int64_t click : SongFolder::source().clicks) {
        const int64_t expected = click * rate / 44100;
        QVERIFY(qAbs(PeakFrame(all, channels, expected, 2000) - expected) <= (rate == 44100 ? 0 : 1));
    }
}

void DecoderTest::seekIsSampleExact_data() {
    QTest::addColumn<QString>("file");
    const SongFolder& s = SongFolder::get();
    QTest::newRow("cbr") << s.cbr();
    QTest::newRow("vbr") << s.vbr();
    QTest::newRow("mono 22.05 kHz") << s.mono();
    QTest::newRow("id3v2 tag") << s.tagged();
}

void DecoderTest::seekIsSampleExact() {
    QFETCH(QString, file);
    int channels = 0;
    const std::vector<int16_t> all = DecodeAll(file, &channels);
    Mp3Decoder d;
    d.open(file);
    // Backwards and forwards, onto the click, just before it and frames away, mid MPEG frame or on a
    // boundary.
    for (int64_t click : SongFolder::source().clicks) {
        const int64_t at = PeakFrame(all, channels, click * d.rate() / 44100, 2000);
        for (int64_t target : {at, at - 1, at - 577, at - 1152, at - 5000}) {
            d.seek(target);
            QCOMPARE(d.tell(), target);
            std::vector<int16_t> got(size_t(8192 * channels));
            const size_t n = d.read(got.data(), 8192);
            QCOMPARE(n, size_t(8192));
            QCOMPARE(PeakFrame(got, channels, at - target, 2000) + target, at);
            // Not only the click: every sample is that of the straight decode.
            const auto from = all.begin() + target * channels;
            QVERIFY2(std::equal(got.begin(), got.end(), from), qPrintable(QString("seek to %1").arg(target)));
        }
    }
}

void DecoderTest::seekClampsToTheFile() {
    Mp3Decoder d;
    d.open(SongFolder::get().cbr());
    d.seek(-10);
    QCOMPARE(d.tell(), qint64(0));
    d.seek(1'000'000);
    QCOMPARE(d.tell(), d.lengthFrames());
    int16_t buffer[64];
    QCOMPARE(d.read(buffer, 16), size_t(0));
}

namespace {

// Runs a maker of test files (sox, convert) and answers the file it made, or fails the calling test.
QByteArray Made(const QString& program, const QStringList& arguments, const QString& output) {
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), p.readAllStandardError().constData());
        return {};
    }
    QFile f(output);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray RandomBytes(qsizetype size, unsigned seed) {
    QByteArray bytes(size, '\0');
    std::mt19937 random(seed);
    for (char& c : bytes) c = char(random());
    return bytes;
}

QByteArray BigEndian32(uint32_t v, bool syncSafe) {
    const int shift = syncSafe ? 7 : 8;
    QByteArray b;
    for (int i = 3; i >= 0; --i) b.append(char((v >> (shift * i)) & (syncSafe ? 0x7f : 0xff)));
    return b;
}

// An ID3v2.3 tag holding one picture frame, as taggers write a cover picture.
QByteArray Id3v2WithPicture(const QByteArray& picture) {
    const QByteArray body = QByteArray("\0image/jpeg\0\x03\0", 14) + picture;
    const QByteArray frame = "APIC" + BigEndian32(uint32_t(body.size()), false) + QByteArray(2, '\0') + body;
    return QByteArray("ID3\x03\0\0", 6) + BigEndian32(uint32_t(frame.size()), true) + frame;
}

// An APEv2 tag with one item, header and footer, as some players append them.
QByteArray ApeTag() {
    const auto le32 = [](uint32_t v) {
        QByteArray b;
        for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xff));
        return b;
    };
    const QByteArray item = le32(5) + le32(0) + QByteArray("Title\0Hello", 11);
    const auto part = [&](bool header) {
        return "APETAGEX" + le32(2000) + le32(uint32_t(item.size() + 32)) + le32(1) +
               le32(header ? 0xA0000000u : 0x80000000u) + QByteArray(8, '\0');
    };
    return part(true) + item + part(false);
}

QByteArray Id3v1Tag() {
    QByteArray tag =
        "TAG" + QByteArray("Title").leftJustified(30, '\0') + QByteArray("Singer").leftJustified(30, '\0');
    return tag.leftJustified(128, '\0');
}

// Made once for the whole run: sox and convert take a moment each.
struct OtherFiles {
    QTemporaryDir dir;
    QByteArray wav, ogg, flac, jpeg;
    OtherFiles() {
        const QString wavPath = dir.filePath("noise.wav");
        // Pink noise, as loud as music: its samples hold false MPEG frame syncs (repeatable: -R).
        wav = Made("sox",
                   {"-R", "-n", "-r", "44100", "-c", "2", "-b", "16", wavPath, "synth", "10", "pinknoise",
                    "vol", "0.2"},
                   wavPath);
        ogg = Made("sox", {"-R", wavPath, dir.filePath("noise.ogg")}, dir.filePath("noise.ogg"));
        flac = Made("sox", {"-R", wavPath, dir.filePath("noise.flac")}, dir.filePath("noise.flac"));
        jpeg =
            Made("convert", {"-size", "320x240", "-seed", "3", "plasma:fractal", dir.filePath("picture.jpg")},
                 dir.filePath("picture.jpg"));
    }
};

}  // namespace

void DecoderTest::refusesWhatIsNotASong_data() {
    QTest::addColumn<QByteArray>("content");  // null: the file does not exist
    // Songs of the other formats, named .mp3: the MP3 decoder refuses them, the player plays them.
    QTest::addColumn<bool>("otherFormat");
    QTest::newRow("missing") << QByteArray() << false;
    QTest::newRow("empty") << QByteArray("") << false;
    QTest::newRow("text") << QString("[歌词]\r\n第一行\r\n第二行\r\n").repeated(200).toUtf8() << false;
    QFile cbr(SongFolder::get().cbr());
    QVERIFY(cbr.open(QIODevice::ReadOnly));
    const QByteArray song = cbr.readAll();
    QTest::newRow("truncated to its first frames") << song.left(1200) << false;
    QTest::newRow("header only") << song.left(300) << false;
    QFile wav(SongFolder::get().path("click.wav"));
    QVERIFY(wav.open(QIODevice::ReadOnly));
    QTest::newRow("renamed wav") << wav.read(200000) << true;
    static const OtherFiles other;
    QVERIFY2(!other.wav.isEmpty() && !other.ogg.isEmpty() && !other.flac.isEmpty() && !other.jpeg.isEmpty(),
             "sox or convert could not make the test files");
    QTest::newRow("renamed wav of noise") << other.wav << true;
    QTest::newRow("its samples without the wav header") << other.wav.mid(44) << false;
    QTest::newRow("renamed wav behind an id3v2 tag")
        << Id3v2WithPicture(QByteArray(100, 'x')) + other.wav << true;
    QTest::newRow("renamed ogg") << other.ogg << true;
    QTest::newRow("renamed flac") << other.flac << true;
    QTest::newRow("renamed jpeg") << other.jpeg << false;
    QTest::newRow("renamed m4a") << QByteArray(
                                        "\0\0\0\x18"
                                        "ftypM4A \0\0\0\0M4A mp42",
                                        24) +
                                        other.wav.mid(44)
                                 << false;
    QByteArray noise(65536, '\0');
    std::mt19937 random(7);
    for (char& c : noise) c = char(random());
    QTest::newRow("random bytes") << noise << false;
    QByteArray tagOnly("ID3\x03\x00\x00\x00\x00\x08\x00", 10);  // a tag of 1024 bytes and no audio
    tagOnly.append(QByteArray(1024, '\0'));
    QTest::newRow("tag only") << tagOnly << false;
    QTest::newRow("a folder") << QByteArray("/") << false;
}

void DecoderTest::refusesWhatIsNotASong() {
    QFETCH(QByteArray, content);
    QFETCH(bool, otherFormat);
    QTemporaryDir dir;
    QString path = dir.filePath("song.mp3");
    if (content == "/") {
        QVERIFY(QDir(dir.path()).mkdir("song.mp3"));
    } else if (!content.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    Mp3Decoder d;
    QVERIFY_THROWS_EXCEPTION(PlayerError, d.open(path));
    QVERIFY(!d.isOpen());
    if (otherFormat) {
        EnginePlayer player(false, EnginePlayer::Output::Null);
        player.setFileName(path);
        QVERIFY(player.Duration() > 1.0);
        return;
    }
    // The player raises it at FileName, and is left stopped with no file: Play raises too.
    EnginePlayer player(true, EnginePlayer::Output::Null);
    QVERIFY_THROWS_EXCEPTION(PlayerError, player.setFileName(path));
    QCOMPARE(player.FileName(), QString());
    QCOMPARE(player.Duration(), 0.0);
    QVERIFY_THROWS_EXCEPTION(PlayerError, player.Play());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
}

void DecoderTest::playsWhatTagsAndJunkSurround_data() {
    QTest::addColumn<QByteArray>("content");
    const QByteArray song = FileBytes(SongFolder::get().cbr());
    QVERIFY(!song.isEmpty());
    // A cover picture of a megabyte, its bytes as random as a compressed picture's.
    QTest::newRow("large id3v2 tag") << Id3v2WithPicture(RandomBytes(1 << 20, 11)) + song;
    QTest::newRow("junk before the first frame") << RandomBytes(3000, 12) + song;
    QTest::newRow("ape and id3v1 tags at the end") << song + ApeTag() + Id3v1Tag();
    QTest::newRow("all of them") << Id3v2WithPicture(RandomBytes(200000, 13)) + RandomBytes(500, 14) + song +
                                        ApeTag() + Id3v1Tag();
}

void DecoderTest::playsWhatTagsAndJunkSurround() {
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString path = dir.filePath("song.mp3");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(content) == content.size());
    f.close();
    Mp3Decoder d;
    d.open(path);
    QCOMPARE(d.lengthFrames(), qint64(132300));
    // Every sample as in the plain file: nothing of the tags or the junk is heard.
    QVERIFY(DecodeAll(path) == DecodeAll(SongFolder::get().cbr()));
}

void DecoderTest::aRefusedFileStopsTheSongBefore() {
    EnginePlayer player(true, EnginePlayer::Output::Null);
    QSignalSpy changes(&player, &MediaPlayer::PlayStateChange);
    player.setFileName(SongFolder::get().cbr());
    QCOMPARE(player.PlayState(), int(MediaPlayer::Playing));
    QVERIFY_THROWS_EXCEPTION(PlayerError, player.setFileName(SongFolder::get().path("nothing.mp3")));
    QCOMPARE(player.PlayState(), int(MediaPlayer::Stopped));
    QCOMPARE(player.CurrentPosition(), 0.0);
    QTRY_COMPARE(changes.size(), 2);
    QCOMPARE(changes[1], (QList<QVariant>{2, 0}));
}

namespace {
// Read system calls made so far by this process, as the kernel counts them.
qint64 ReadCalls() {
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : io.readAll().split('\n'))
        if (line.startsWith("syscr:")) return line.mid(6).trimmed().toLongLong();
    return -1;
}
}  // namespace

void DecoderTest::readsTheFileInLargePieces() {
    if (ReadCalls() < 0) QSKIP("this system does not count read calls");
    // Frame by frame the 3-second song would take over 200 reads to scan and as many to decode.
    const qint64 before = ReadCalls();
    Mp3Decoder d;
    d.open(SongFolder::get().cbr());
    std::vector<int16_t> samples(size_t(d.lengthFrames() * d.channels()));
    QCOMPARE(qint64(d.read(samples.data(), size_t(d.lengthFrames()))), d.lengthFrames());
    d.seek(1000);
    QVERIFY(d.read(samples.data(), 1000) > 0);
    QVERIFY2(ReadCalls() - before < 20, qPrintable(QString::number(ReadCalls() - before)));
}

}  // namespace qiva::test
