// The song check against the real decoder: a freshly encoded MP3 plays in the window, a file that only
// carries the extension does not.

#include "RealEngineTest.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include "Rig.h"
#include "platform/RealServices.h"

using namespace qiva;
using namespace qiva::test;

namespace {
bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}
}  // namespace

void RealEngineTest::songCheckPlaysAnMp3AndRejectsOtherFiles() {
    const QString sox = QStandardPaths::findExecutable(QStringLiteral("sox"));
    const QString lame = QStandardPaths::findExecutable(QStringLiteral("lame"));
    if (sox.isEmpty() || lame.isEmpty()) QSKIP("sox and lame are needed to make the test song");
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("tone.MP3"));
    QVERIFY(Run(sox, {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                      QStringLiteral("-c"), QStringLiteral("2"), wav, QStringLiteral("synth"),
                      QStringLiteral("3"), QStringLiteral("sine"), QStringLiteral("440")}));
    QVERIFY(Run(lame, {QStringLiteral("--quiet"), wav, mp3}));
    const QString aiff = dir.filePath(QStringLiteral("tone.MP3.aiff"));
    QVERIFY(Run(sox, {wav, aiff}));
    const QString notMp3 = dir.filePath(QStringLiteral("words.MP3"));
    QVERIFY(WriteBytes(notMp3, QByteArray("\"A\",\"S\",0,\"C\",\"p\",\"T\",\"L\"\r\n").repeated(40)));

    RealPlayerFactory players;
    TestServices ts;
    Services services{players, ts.dialogs, ts.prompter, ts.nav};
    Main m(dir.path());
    auto owner = players.create(true);
    owner->setFileName(mp3);
    JoinForm form(m, services, *owner);
    QCOMPARE(owner->PlayState(), int(MediaPlayer::Paused));

    ts.dialogs.answers = {mp3, notMp3, aiff};
    form.Command1->click();
    QVERIFY(ts.prompter.boxes.empty());
    QVERIFY(form.songOk);
    QCOMPARE(form.MP->PlayState(), int(MediaPlayer::Playing));
    QVERIFY(qAbs(form.MP->Duration() - 3.0) < 0.2);

    for (int i = 1; i <= 2; ++i) {  // text that looks like an MP3 by name, then real audio of another kind
        form.Command1->click();
        QCOMPARE(ts.prompter.boxes.size(), size_t(i));
        QCOMPARE(ts.prompter.boxes.back().text, QStringLiteral("无法播放的音乐文件！"));
        QVERIFY(form.Text1->text().isEmpty());
        QVERIFY(!form.songOk);
        QCOMPARE(form.MP->PlayState(), int(MediaPlayer::Stopped));
    }
    form.reject();
    QCOMPARE(owner->PlayState(), int(MediaPlayer::Paused));
}
