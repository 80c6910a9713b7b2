// A FLAC song, chosen in the association window's own dialog under the music filter, linked to new lyrics
// and played from the player's list to its end.

#include <QDir>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "Expected.h"
#include "Journey.h"
#include "app/LineLabel.h"
#include "app/MainPlay.h"
#include "association/JoinForm.h"
#include "platform/MediaPlayerControl.h"

using namespace qiva;

namespace e2e {

void Journey::flacSongAssociatedAndPlayed() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    // Four seconds, and an extension in capitals: the dialogs' patterns match any case.
    const QString wav = tmp_.filePath(QStringLiteral("brook.wav"));
    const QString song = QDir::toNativeSeparators(tmp_.filePath(QStringLiteral("我的歌/溪流.FLAC")));
    QCOMPARE(QProcess::execute(QStringLiteral("sox"), {"-n", "-r", "44100", "-c", "2", "-b", "16", wav,
                                                       "synth", "4", "sine", "523", "vol", "0.3"}),
             0);
    QCOMPARE(QProcess::execute(QStringLiteral("flac"), {"-s", wav, "-o", song}), 0);
    const QString lyrics = inFolder(QStringLiteral("溪流.TXT"));
    const Lines lines{{15, QStringLiteral("溪水流过石头")}, {30, QStringLiteral("流向远方")}};
    const Header header{QStringLiteral("山歌"), QStringLiteral("无名"), QStringLiteral("无名"), song,
                        QStringLiteral("溪流"), QStringLiteral("无名")};
    QFile f(lyrics);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(LyricsFile(header, lines));
    f.close();

    script_->expect([](QWidget* w) {
        auto* join = qobject_cast<JoinForm*>(w);
        if (join == nullptr) {
            w->close();
            return QStringLiteral("not the association window: ") + w->windowTitle();
        }
        Click(join->Command1);
        Click(join->Command2);
        const QString line =
            join->Command3->isEnabled() ? QStringLiteral("关联 enabled") : QStringLiteral("关联 disabled");
        if (!Click(join->Command3)) join->reject();
        return line;
    });
    script_->expectFileDialog(song);
    script_->expectFileDialog(QStringLiteral("溪流.TXT"));
    QVERIFY(Click(p->Command2));  // 重新关联歌词
    COMPARE_SEEN(script_->take(),
                 (QStringList{QStringLiteral("关联 enabled"), QStringLiteral("打开: ") + song,
                              QStringLiteral("打开: 溪流.TXT")}));

    QVERIFY(Click(p->Command3));  // 刷新列表
    const int row = p->List1->count() - 1;
    QCOMPARE(p->List1->item(row)->text(), song + QStringLiteral("   ") + lyrics);
    ClickRow(p->List1, row);
    QCOMPARE(p->MP->PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(p->MP->Duration(), 4.0);
    QVERIFY(WaitFor([&] { return p->Label2->text() == lines[1].second; }, 5000));
    QVERIFY(p->MP->CurrentPosition() >= 1.5);
    QCOMPARE(p->Label1->text(), lines[0].second);
    // Within half a second of the end the clock stops the song.
    QVERIFY(WaitFor([&] { return p->MP->PlayState() == MediaPlayer::Stopped; }, 6000));
}

}  // namespace e2e
