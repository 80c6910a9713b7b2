// The largest tables the program allows: 32,767 associations and a 32,767-line lyrics file go through the
// player (load, list, play), step three (save) and the association window, and the 32,768th association is
// refused with a message, nothing written. How fast these run is the store benchmark's business; here they
// must simply come out right.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/LineLabel.h"
#include "app/MainPlay.h"
#include "association/JoinForm.h"
#include "platform/MediaPlayerControl.h"
#include "platform/doubles/Doubles.h"
#include "store/Main.h"
#include "wizard/EditForm3.h"

namespace qiva::test {

namespace {

constexpr int kMax = INT16_MAX;
const QString kTableFull = QStringLiteral("关联记录已达到 32767 条的上限，无法再添加关联。");

QString LineText(int i) { return QStringLiteral("第%1行，这是一行典型长度的歌词文字").arg(i); }
QString Song(int i) { return QStringLiteral("D:\\音乐\\歌手\\专辑\\歌曲%1.MP3").arg(i); }
QString Lyrics(int i) { return QStringLiteral("D:\\歌词\\歌曲%1.TXT").arg(i); }

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class StressTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void fullTableAndLongLyricsPlayInThePlayer();
    void stepThreeSavesLongLyricsAsTheLastAssociation();
    void the32768thAssociationIsRefused_data();
    void the32768thAssociationIsRefused();

private:
    // A record of `count` entries; entry `count` is {song, lyrics} when given.
    void writeRecord(int count, const QString& song = {}, const QString& lyrics = {});
    // A timed lyrics file of 32,767 lines, line i ending at i tenths.
    QString writeLongLyrics(const QString& name, const QString& songPath);
    QString path(const QString& name) const { return QDir(dir_->path()).filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    TestServices ts_;
};

void StressTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    ts_.prompter.boxes.clear();
    ts_.nav.calls.clear();
}

void StressTest::writeRecord(int count, const QString& song, const QString& lyrics) {
    Main m(dir_->path());
    for (int i = 1; i <= count; ++i) {
        const bool last = i == count && !song.isEmpty();
        m.AppendAssociation(last ? song : Song(i), last ? lyrics : Lyrics(i));
    }
    m.CommitAssociation(ts_.prompter);
    QCOMPARE(ts_.prompter.boxes.size(), size_t(0));
}

QString StressTest::writeLongLyrics(const QString& name, const QString& songPath) {
    Main doc(dir_->path());
    doc.lyricAlbum = doc.lyricSinger = doc.lyricComposer = doc.lyricTitle = doc.lyricLyricist =
        QStringLiteral("未知");
    doc.lyricSongPath = songPath;
    doc.ResetLines(kMax);
    for (int i = 1; i <= kMax; ++i) doc.lyricLines[size_t(i)] = {LineText(i), int16_t(i)};
    const QString file = path(name);
    doc.WriteLyricsFile(file);
    return file;
}

void StressTest::fullTableAndLongLyricsPlayInThePlayer() {
    const QString song = path(QStringLiteral("last.MP3"));
    ts_.players.songs.insert(song, 3300);
    writeRecord(kMax, song, writeLongLyrics(QStringLiteral("long.TXT"), song));
    Main m(dir_->path());
    MainPlay w(m, ts_.services);
    w.Timer1->setInterval(24 * 3600 * 1000);  // this test ticks the clock itself
    QCOMPARE(m.assocCount, int16_t(kMax));
    QCOMPARE(w.List1->count(), kMax);
    QCOMPARE(w.List1->item(kMax - 1)->text(),
             song + QStringLiteral("   ") + path(QStringLiteral("long.TXT")));

    w.List1->setCurrentRow(kMax - 1);
    w.List1_Click();
    auto& player = static_cast<FakeMediaPlayer&>(w.MP->engine());
    QCOMPARE(player.FileName(), song);
    QCOMPARE(m.lyricLineCount, int16_t(kMax));
    QCOMPARE(w.Label2->text(), LineText(1));
    // Near the end of the lyrics the clock finds the last lines by its scan over all of them.
    player.advance(3276.65);
    w.Timer1_Timer();
    QCOMPARE(w.Label2->text(), LineText(kMax));
    QCOMPARE(w.Label1->text(), LineText(kMax - 1));
    QCOMPARE(ts_.prompter.boxes.size(), size_t(0));
}

void StressTest::stepThreeSavesLongLyricsAsTheLastAssociation() {
    const QString song = path(QStringLiteral("last.MP3"));
    ts_.players.songs.insert(song, 3300);
    writeRecord(kMax - 1);
    Main m(dir_->path());
    m.ReadLyricsFile(writeLongLyrics(QStringLiteral("source.TXT"), song));
    EditForm3 w(m, ts_.services);  // clears every end time, lists every line
    for (int i = 1; i <= kMax; ++i) m.lyricLines[size_t(i)].endTime = int16_t(i);  // as recorded
    const QString saved = path(QStringLiteral("saved.TXT"));
    ts_.dialogs.answers.push_back(saved);
    w.Command1_Click();
    QCOMPARE(ts_.prompter.boxes.size(), size_t(0));
    QVERIFY(ts_.nav.calls.contains(QStringLiteral("ShowPlayer")));
    QCOMPARE(ReadBytes(saved), ReadBytes(path(QStringLiteral("source.TXT"))));
    Main back(dir_->path());
    back.LoadAssociations();
    QCOMPARE(back.assocCount, int16_t(kMax));
    QCOMPARE(back.assocTable[kMax].songPath, song);
    QCOMPARE(back.assocTable[kMax].lyricsPath, saved);
}

void StressTest::the32768thAssociationIsRefused_data() {
    QTest::addColumn<bool>("stepThree");
    QTest::newRow("association window") << false;
    QTest::newRow("step three") << true;
}

void StressTest::the32768thAssociationIsRefused() {
    QFETCH(bool, stepThree);
    const QString song = path(QStringLiteral("one-more.MP3"));
    ts_.players.songs.insert(song, 200);
    writeRecord(kMax);
    Main m(dir_->path());
    m.LoadAssociations();
    const QString lyrics = path(QStringLiteral("one-more.TXT"));
    Main small(dir_->path());
    small.lyricSongPath = QStringLiteral("D:\\old.MP3");
    small.ResetLines(1);
    small.lyricLines[1] = {QStringLiteral("（结束）"), 30};
    small.WriteLyricsFile(lyrics);
    const QByteArray recordBefore = ReadBytes(m.assocFilePath());
    const QByteArray lyricsBefore = ReadBytes(lyrics);

    if (stepThree) {
        m.ReadLyricsFile(lyrics);
        m.lyricSongPath = song;
        EditForm3 w(m, ts_.services);
        const QString target = path(QStringLiteral("new.TXT"));
        ts_.dialogs.answers.push_back(target);
        w.Command1_Click();
        QCOMPARE(ts_.prompter.texts(), QStringList{kTableFull});
        QVERIFY(!ts_.nav.calls.contains(QStringLiteral("ShowPlayer")));
        QVERIFY2(!QFile::exists(target), "a lyrics file was written for an association that was refused");
    } else {
        auto owner = ts_.players.create(true);
        JoinForm form(m, ts_.services, *owner);
        ts_.dialogs.answers.push_back(song);
        form.Command1_Click();
        ts_.dialogs.answers.push_back(lyrics);
        form.Command2_Click();
        form.Command3_Click();
        QCOMPARE(ts_.prompter.texts(), QStringList{kTableFull});
        QVERIFY(form.result() != QDialog::Accepted);
    }
    QCOMPARE(m.assocCount, int16_t(kMax));
    QCOMPARE(int(m.assocTable.size()), kMax + 1);
    QCOMPARE(ReadBytes(m.assocFilePath()), recordBefore);
    QCOMPARE(ReadBytes(lyrics), lyricsBefore);
}

}  // namespace qiva::test

QTEST_MAIN(qiva::test::StressTest)
#include "StressTest.moc"
