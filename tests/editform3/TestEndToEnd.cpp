// One authoring run in one process: step two's marked text through the mark expansion, step three recording
// on the real audio engine (null output) over an MP3 made for the test, "完成" to a file, and the file read
// back as the player reads it.

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "Fixture.h"
#include "Suites.h"
#include "platform/RealServices.h"
#include "wizard/ExpandMarks.h"

namespace qiva::test {

namespace {
constexpr double kSongSeconds = 6.2;

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// A 6.2-second tone as MP3, made with the same tools a user's ripper would use.
QString MakeSong(const QTemporaryDir& dir) {
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("tone.mp3"));
    if (!Run(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth",
                                     QString::number(kSongSeconds), "sine", "440", "vol", "0.3"}))
        return {};
    if (!Run(QStringLiteral("lame"), {"--quiet", "-b", "128", wav, mp3})) return {};
    return mp3;
}
}  // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void markedTextToSavedFile();
};

void TestEndToEnd::markedTextToSavedFile() {
    if (QStandardPaths::findExecutable(QStringLiteral("sox")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("lame")).isEmpty())
        QFAIL("sox and lame are needed to make the test song (scripts/install-deps.sh installs them)");
    qputenv("QIVA_AUDIO", "null");
    QTemporaryDir dir;
    const QString song = MakeSong(dir);
    QVERIFY2(!song.isEmpty(), "sox or lame failed");

    // Step one and two: the song path, the song information and the marked text.
    Main m(dir.path());
    m.lyricSongPath = song;
    m.lyricTitle = QStringLiteral("好日子");
    m.lyricSinger = m.lyricAlbum = m.lyricLyricist = m.lyricComposer = QStringLiteral("未知");
    QCOMPARE(ExpandMarks(QStringLiteral("B今天是个好日子P心想的事儿都能成E"), m), MarkCheck::Ok);
    QCOMPARE(int(m.lyricLineCount), 4);

    // Step three on the real engine.
    RealPlayerFactory players;
    ScriptedDialogFactory dialogs;
    ScriptedPrompter prompter;
    RecordingNavigation nav;
    Services services{players, dialogs, prompter, nav};
    EditForm3 form(m, services);
    form.show();
    QCOMPARE(form.MP->FileName(), song);
    QVERIFY2(qAbs(form.MP->Duration() - kSongSeconds) < 0.03,
             qPrintable(QString::number(form.MP->Duration())));
    QCOMPARE(form.MP->PlayState(), int(MediaPlayer::Stopped));  // loaded, not started

    form.Command2_Click();
    QCOMPARE(form.MP->PlayState(), int(MediaPlayer::Playing));
    // The clock really runs.
    QTRY_VERIFY_WITH_TIMEOUT(form.MP->CurrentPosition() > 0.2, 5000);
    // Each press lands at a known position: the user pauses with the player's own button and moves its bar
    // to the middle of a tenth, so the test does not depend on how fast the machine is.
    for (double at : {0.55, 2.05, 4.45}) {
        form.MP->Pause();
        form.MP->setCurrentPosition(at);
        form.Command4_Click();
        if (form.Command4->isEnabled()) form.MP->Play();
    }
    QCOMPARE(prompter.texts(), QStringList{QStringLiteral("全部完成了!")});
    QCOMPARE(form.MP->PlayState(), int(MediaPlayer::Stopped));

    const QString saved = dir.filePath(QStringLiteral("好日子.TXT"));
    dialogs.answers.push_back(saved);
    form.Command1_Click();
    QCOMPARE(nav.calls.constFirst(), QStringLiteral("ShowPlayer"));

    QByteArray expected = ReadBytes(FixturePath(QStringLiteral("end-to-end.TXT")));
    expected.replace("@SONG@", song.toUtf8());  // the temporary folder's path is plain ASCII
    QCOMPARE(ReadBytes(saved), expected);

    // The player's side: the association table lists the song, and the file reads back as recorded.
    Main player(dir.path());
    player.LoadAssociations();
    QCOMPARE(int(player.assocCount), 1);
    QCOMPARE(player.assocTable[1].songPath, song);
    QCOMPARE(player.assocTable[1].lyricsPath, saved);
    player.ReadLyricsFile(player.assocTable[1].lyricsPath);
    QCOMPARE(player.lyricTitle, QStringLiteral("好日子"));
    QCOMPARE(player.lyricSongPath, song);
    QStringList lines;
    for (int i = 1; i <= player.lyricLineCount; ++i)
        lines << QStringLiteral("%1 %2")
                     .arg(player.lyricLines[size_t(i)].endTime)
                     .arg(player.lyricLines[size_t(i)].text);
    QCOMPARE(lines, (QStringList{QStringLiteral("5 （开始）"), QStringLiteral("20 今天是个好日子"),
                                 QStringLiteral("44 心想的事儿都能成"), QStringLiteral("62 （结束）")}));
}

int RunTestEndToEnd(int argc, char** argv) {
    TestEndToEnd t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestEndToEnd.moc"
