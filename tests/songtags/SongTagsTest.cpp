// The song's own tags: GBK text in fields declared Latin-1, ID3v2 over ID3v1, unsynchronised lyrics, and
// files with no tags or damaged ones, on MP3 files made at test time and tagged by id3v2; the Vorbis
// comments of FLAC, Ogg Vorbis and Opus files tagged by their encoders. Unicode frames
// written by TagLib are read in the step-two test (wizard12).

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "platform/SongTags.h"

using namespace qiva;

namespace {

const QByteArray kGbkTitle("\xC6\xDF\xC0\xEF\xCF\xE3");   // 七里香
const QByteArray kGbkSinger("\xD6\xDC\xBD\xDC\xC2\xD7");  // 周杰伦

// id3v2 hands its arguments to the tag byte for byte, as the taggers of GBK systems did: a shell turns the
// escapes into raw bytes that no QString could carry.
bool Id3v2(const QString& file, const QStringList& options) {
    QStringList quoted;
    for (const QString& o : options) quoted << u'"' + o + u'"';
    return QProcess::execute(QStringLiteral("sh"),
                             {QStringLiteral("-c"), "id3v2 " + quoted.join(u' ') + " \"" + file + u'"'}) == 0;
}

QString Printf(const QByteArray& bytes) {
    QString out = QStringLiteral("$(printf '");
    for (char c : bytes) out += QStringLiteral("\\%1").arg(static_cast<unsigned char>(c), 3, 8, QChar(u'0'));
    return out + QStringLiteral("')");
}

}  // namespace

class SongTagsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void latin1FieldsReadAsGbkOnlyWhenTheyAreGbk_data();
    void latin1FieldsReadAsGbkOnlyWhenTheyAreGbk();
    void gbkWrittenByARealTagger();
    void id3v1Only();
    void noTagsDamagedTagsAndNoFile();
    void vorbisCommentsOfEveryFormat_data();
    void vorbisCommentsOfEveryFormat();
    void wavInfoListInGbk();

private:
    QString copy(const QString& name) {
        const QString path = dir_.filePath(name);
        QFile::copy(plain_, path);
        return path;
    }
    QTemporaryDir dir_;
    QString plain_;
};

void SongTagsTest::initTestCase() {
    plain_ = dir_.filePath(QStringLiteral("plain.mp3"));
    const QString wav = dir_.filePath(QStringLiteral("plain.wav"));
    QCOMPARE(QProcess::execute(QStringLiteral("sox"),
                               {"-n", "-r", "22050", "-c", "1", wav, "synth", "0.3", "sine", "440"}),
             0);
    QCOMPARE(QProcess::execute(QStringLiteral("lame"), {"--quiet", "-b", "32", wav, plain_}), 0);
}

void SongTagsTest::latin1FieldsReadAsGbkOnlyWhenTheyAreGbk_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("cut");
    QTest::addColumn<QString>("text");
    const auto latin1 = [](const char* s) { return QString::fromLatin1(s); };
    QTest::newRow("ascii") << QByteArray("Yesterday") << false << QStringLiteral("Yesterday");
    QTest::newRow("gbk") << kGbkTitle << false << QStringLiteral("七里香");
    QTest::newRow("one gbk character") << QByteArray("\xD3\xEA") << false << QStringLiteral("雨");
    QTest::newRow("gbk glued to latin")
        << QByteArray("Jay" + kGbkSinger) << false << QStringLiteral("Jay周杰伦");
    QTest::newRow("gbk after digits") << QByteArray("2002\xC4\xEA") << false << QStringLiteral("2002年");
    QTest::newRow("invalid gbk: cafe") << QByteArray("Caf\xE9") << false << latin1("Caf\xE9");
    QTest::newRow("valid gbk, european: groesse") << QByteArray(
                                                         "Gr\xF6\xDF"
                                                         "e")
                                                  << false
                                                  << latin1(
                                                         "Gr\xF6\xDF"
                                                         "e");
    QTest::newRow("valid gbk, european: motley crue") << QByteArray(
                                                             "M\xF6tley Cr\xFC"
                                                             "e")
                                                      << false
                                                      << latin1(
                                                             "M\xF6tley Cr\xFC"
                                                             "e");
    QTest::newRow("valid gbk, european: agaetis")
        << QByteArray("\xC1g\xE6tis") << false << latin1("\xC1g\xE6tis");
    QTest::newRow("user-defined gbk area")
        << QByteArray("\xAA\xA1\xAA\xA2") << false << latin1("\xAA\xA1\xAA\xA2");
    QTest::newRow("id3v1 cut inside a character")
        << QByteArray(kGbkTitle + "\xD6") << true << QStringLiteral("七里香");
    QTest::newRow("cut only where ID3v1 cuts")
        << QByteArray(kGbkTitle + "\xD6") << false << QString::fromLatin1(kGbkTitle + "\xD6");
}

void SongTagsTest::latin1FieldsReadAsGbkOnlyWhenTheyAreGbk() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, cut);
    QFETCH(QString, text);
    QCOMPARE(TagTextFromLatin1(bytes, cut), text);
}

void SongTagsTest::gbkWrittenByARealTagger() {
    // ID3v2 wins over ID3v1 field by field.
    const QString song = copy(QStringLiteral("七里香.mp3"));
    QVERIFY(Id3v2(song, {"-1", "-t", "old title", "-A", "Album from v1"}));
    QVERIFY(Id3v2(song, {"-2", "-t", Printf(kGbkTitle), "-a", Printf(kGbkSinger), "--TCOM",
                         Printf(kGbkSinger), "--TEXT", Printf("\xB7\xBD\xCE\xC4\xC9\xBD"), "--USLT",
                         "desc:" + Printf("\xD2\xBB\xD0\xD0\n\xB6\xFE\xD0\xD0") + ":chi"}));
    const SongTags tags = ReadSongTags(song);
    QCOMPARE(tags.title, QStringLiteral("七里香"));
    QCOMPARE(tags.artist, QStringLiteral("周杰伦"));
    QCOMPARE(tags.album, QStringLiteral("Album from v1"));
    QCOMPARE(tags.lyricist, QStringLiteral("方文山"));
    QCOMPARE(tags.composer, QStringLiteral("周杰伦"));
    QCOMPARE(tags.lyrics, QStringLiteral("一行\n二行"));
}

void SongTagsTest::id3v1Only() {
    const QString song = copy(QStringLiteral("v1.MP3"));
    // The field's 30 bytes end inside the last character.
    const QByteArray longTitle = "A" + kGbkTitle.repeated(4) + kGbkSinger;
    QVERIFY(Id3v2(song, {"-1", "-t", Printf(longTitle), "-a", Printf(kGbkSinger), "-A", Printf("Caf\xE9")}));
    const SongTags tags = ReadSongTags(song);
    QCOMPARE(tags.title, "A" + QStringLiteral("七里香").repeated(4) + QStringLiteral("周杰"));
    QCOMPARE(tags.artist, QStringLiteral("周杰伦"));
    QCOMPARE(tags.album, QStringLiteral("Café"));
    QVERIFY(tags.lyricist.isEmpty() && tags.composer.isEmpty() && tags.lyrics.isEmpty());
}

void SongTagsTest::noTagsDamagedTagsAndNoFile() {
    const SongTags none = ReadSongTags(copy(QStringLiteral("none.mp3")));
    QVERIFY(none.title.isEmpty() && none.artist.isEmpty() && none.album.isEmpty() && none.lyrics.isEmpty());
    // A tag header that promises more than the file holds, then frames cut short.
    const QString damaged = copy(QStringLiteral("damaged.mp3"));
    QFile f(damaged);
    QVERIFY(f.open(QIODevice::ReadWrite));
    f.write(QByteArray("ID3\x03\x00\x00\x7F\x7F\x7F\x7FTIT2\x7F\xFF\xFF\xFF\x00\x00\x00USLT", 25));
    f.close();
    (void)ReadSongTags(damaged);
    QVERIFY(ReadSongTags(dir_.filePath(QStringLiteral("missing.mp3"))).title.isEmpty());
    QVERIFY(ReadSongTags(dir_.path()).title.isEmpty());
}

namespace {
// The same comments, given to each encoder in its own way.
QStringList Options(const QString& flag) {
    QStringList out;
    for (const char* c : {"TITLE=七里香", "ARTIST=周杰伦", "ALBUM=七里香", "LYRICIST=方文山",
                          "COMPOSER=周杰伦", "LYRICS=窗外的麻雀\r\n在电线杆上多嘴"})
        out << flag << QString::fromUtf8(c);
    return out;
}
}  // namespace

void SongTagsTest::vorbisCommentsOfEveryFormat_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("quiet");
    QTest::addColumn<QString>("commentFlag");
    QTest::addColumn<QString>("name");
    QTest::newRow("flac") << "flac"
                          << "-s"
                          << "-T"
                          << "tagged.flac";
    QTest::newRow("ogg vorbis") << "oggenc"
                                << "-Q"
                                << "-c"
                                << "tagged.ogg";
    // Named .ogg although it is Opus: the reader goes by the content when the name misleads it.
    QTest::newRow("opus named ogg") << "opusenc"
                                    << "--quiet"
                                    << "--comment"
                                    << "tagged-opus.ogg";
}

void SongTagsTest::vorbisCommentsOfEveryFormat() {
    QFETCH(QString, program);
    QFETCH(QString, quiet);
    QFETCH(QString, commentFlag);
    QFETCH(QString, name);
    // 16 bits, which every encoder reads.
    const QString wav = dir_.filePath(QStringLiteral("plain16.wav"));
    if (!QFile::exists(wav))
        QCOMPARE(QProcess::execute(QStringLiteral("sox"),
                                   {dir_.filePath(QStringLiteral("plain.wav")), "-b", "16", wav}),
                 0);
    const QString song = dir_.filePath(name);
    QStringList arguments = Options(commentFlag);
    arguments.prepend(quiet);
    arguments << wav;
    if (program != "opusenc") arguments << QStringLiteral("-o");
    arguments << song;
    QCOMPARE(QProcess::execute(program, arguments), 0);
    const SongTags tags = ReadSongTags(song);
    QCOMPARE(tags.title, QStringLiteral("七里香"));
    QCOMPARE(tags.artist, QStringLiteral("周杰伦"));
    QCOMPARE(tags.album, QStringLiteral("七里香"));
    QCOMPARE(tags.lyricist, QStringLiteral("方文山"));
    QCOMPARE(tags.composer, QStringLiteral("周杰伦"));
    QCOMPARE(tags.lyrics, QStringLiteral("窗外的麻雀\n在电线杆上多嘴"));
}

// A WAV file's INFO list, as a Chinese Windows tagger wrote it: GBK bytes with no encoding named.
void SongTagsTest::wavInfoListInGbk() {
    const auto le32 = [](qsizetype v) {
        QByteArray b;
        for (int i = 0; i < 4; ++i) b.append(char((v >> (8 * i)) & 0xff));
        return b;
    };
    const QByteArray title = kGbkTitle + QByteArray(2, '\0');  // chunks are of even length
    const QByteArray info = "INFOINAM" + le32(title.size()) + title;
    QByteArray wav = QByteArray("WAVEfmt ") + le32(16) +
                     QByteArray("\1\0\1\0\x40\x1f\0\0\x80\x3e\0\0\2\0\x10\0", 16) + "data" + le32(1600) +
                     QByteArray(1600, '\0') + "LIST" + le32(info.size()) + info;
    wav = "RIFF" + le32(wav.size()) + wav;
    const QString path = dir_.filePath(QStringLiteral("info.wav"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size());
    f.close();
    QCOMPARE(ReadSongTags(path).title, QStringLiteral("七里香"));
}

QTEST_GUILESS_MAIN(SongTagsTest)
#include "SongTagsTest.moc"
