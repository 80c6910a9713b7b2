// The association window with both browse buttons and the duplicate questions, and "编辑歌词" with an import
// and a save under the old name.

#include <QDir>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "Expected.h"
#include "Journey.h"
#include "app/MainPlay.h"
#include "association/JoinForm.h"
#include "platform/MediaPlayerControl.h"
#include "wizard/EditForm3.h"

using namespace qiva;

namespace e2e {

namespace {
const QString kLyricsAsked = QStringLiteral("询问！: 发现这个歌词文件已经和一个音乐文件关联，是否继续？");
const QString kSongAsked = QStringLiteral("询问！: 发现这个音乐文件已经和一个歌词文件关联，是否继续？");
}  // namespace

QStringList Journey::associate(const QList<int>& answers, const QString& shotName) {
    script_->expect([this, shotName](QWidget* w) {
        auto* join = qobject_cast<JoinForm*>(w);
        if (join == nullptr) {
            w->close();
            return QStringLiteral("not the association window: ") + w->windowTitle();
        }
        MainPlay* player = nav_->player();
        QString line =
            XCaption(join, QStringLiteral("歌词关联")) + QStringLiteral(": player ") +
            (player && player->MP->PlayState() == MediaPlayer::Paused ? QStringLiteral("paused")
                                                                      : QStringLiteral("not paused"));
        Click(join->Command1);
        Click(join->Command2);
        line += join->Command3->isEnabled() ? QStringLiteral(", 关联 enabled")
                                            : QStringLiteral(", 关联 disabled");
        if (!shotName.isEmpty()) Shot(join, shotName);
        if (!Click(join->Command3)) join->reject();
        return line;
    });
    script_->expectFileDialog(song_);
    script_->expectFileDialog(QStringLiteral("演示歌曲.TXT"), true);
    for (qsizetype i = 0; i < answers.size(); ++i)
        script_->expectMessage(
            answers[i], i == 0 && answers[i] == QMessageBox::Yes ? QStringLiteral("message-box") : QString());
    if (!Click(nav_->player()->Command2)) return {QStringLiteral("重新关联歌词 could not be clicked")};
    return script_->take();
}

void Journey::associationAnsweredNo() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    QCOMPARE(p->MP->PlayState(), int(MediaPlayer::Playing));
    const QString record = inFolder(QStringLiteral("关联记录.TXT"));
    const QString demoLyrics = inFolder(QStringLiteral("演示歌曲.TXT"));
    const QByteArray recordBefore = FileBytes(record);
    const QByteArray lyricsBefore = FileBytes(demoLyrics);

    // The demo's lyrics are already linked to the demo song: the lyrics question comes first.
    const QStringList seen = associate({QMessageBox::No}, QStringLiteral("association"));
    COMPARE_SEEN(seen, (QStringList{QStringLiteral("歌词关联: player paused, 关联 enabled"),
                                    QStringLiteral("打开: ") + song_,
                                    QStringLiteral("打开: 演示歌曲.TXT in ") + folder_, kLyricsAsked}));
    QCOMPARE(FileBytes(record), recordBefore);
    QCOMPARE(m_->assocCount, int16_t(2));
    // A No changes no file: the lyrics file still names the demo song.
    QCOMPARE(FileBytes(demoLyrics), lyricsBefore);
    QCOMPARE(p->MP->PlayState(), int(MediaPlayer::Paused));
    QVERIFY(Click(p->Command3));
    QCOMPARE(p->List1->count(), 2);
}

void Journey::associationAnsweredYes() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    const QString demoSong = inFolder(QStringLiteral("演示歌曲.MP3"));
    const QString demoLyrics = inFolder(QStringLiteral("演示歌曲.TXT"));
    const QString spring = inFolder(QStringLiteral("春晓.TXT"));

    // Yes to the lyrics question (entry 1), then the song question (entry 2) is asked too.
    const QStringList seen = associate({QMessageBox::Yes, QMessageBox::Yes}, QString());
    COMPARE_SEEN(seen,
                 (QStringList{QStringLiteral("歌词关联: player paused, 关联 enabled"),
                              QStringLiteral("打开: ") + song_,
                              QStringLiteral("打开: 演示歌曲.TXT in ") + folder_, kLyricsAsked, kSongAsked}));
    QCOMPARE(FileBytes(inFolder(QStringLiteral("关联记录.TXT"))),
             RecordFile({{demoSong, demoLyrics}, {song_, spring}, {song_, demoLyrics}}));
    // The association went ahead, so the lyrics file now names this run's song.
    QCOMPARE(FileBytes(demoLyrics),
             LyricsFile({QStringLiteral("QIVA歌词秀演示"), QStringLiteral("合成语音"), QStringLiteral("QIVA"),
                         song_, QStringLiteral("演示歌曲"), QStringLiteral("QIVA")},
                        DemoLines()));
    QVERIFY(Click(p->Command3));
    QCOMPARE(rows(p->List1), (QStringList{demoSong + QStringLiteral("   ") + demoLyrics,
                                          song_ + QStringLiteral("   ") + spring,
                                          song_ + QStringLiteral("   ") + demoLyrics}));
}

void Journey::editImportsAndSavesUnderTheOldName() {
    QVERIFY(nav_->player());
    QVERIFY(Click(nav_->player()->Command4));  // 编辑歌词
    EditForm3* three = nav_->stepThree();
    QVERIFY(three);
    QVERIFY(QTest::qWaitForWindowExposed(three));
    QVERIFY(WaitFor([&] { return nav_->player() == nullptr; }));
    QVERIFY(m_->editMode);
    QCOMPARE(three->List1->count(), 0);

    const QString spring = inFolder(QStringLiteral("春晓.TXT"));
    script_->expectFileDialog(QStringLiteral("春晓.TXT"), true);
    QVERIFY(Click(three->Command5));  // 导入完成歌词
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("打开: 春晓.TXT in ") + folder_});
    QCOMPARE(rows(three->List1), springRows());
    QCOMPARE(three->MP->FileName(), song_);

    RightClickSurface(three);
    QVERIFY(ClickMenuItem(three->popit, QStringLiteral("全部歌词延后半秒")));
    for (int& t : times_) t += 5;
    QCOMPARE(rows(three->List1), springRows());

    const QByteArray recordBefore = FileBytes(inFolder(QStringLiteral("关联记录.TXT")));
    script_->expectFileDialog(QStringLiteral("春晓.TXT"), true);
    script_->expectMessage(QMessageBox::Yes);  // the file dialog's own question: replace the existing file?
    script_->expectMessage(QMessageBox::No);
    QVERIFY(Click(three->Command1));  // 完成
    const QStringList seen = script_->take();
    QCOMPARE(seen.size(), 3);
    QCOMPARE(seen[0], QStringLiteral("另存为: 春晓.TXT in ") + folder_);
    QVERIFY2(seen[1].startsWith(QStringLiteral("另存为: ")) && seen[1].contains(QStringLiteral("春晓.TXT")),
             qPrintable(seen[1]));
    QCOMPARE(seen[2], kSongAsked);
    QVERIFY(!m_->editMode);
    QVERIFY(WaitFor(
        [&] { return nav_->stepThree() == nullptr && nav_->player() && nav_->player()->isVisible(); }));

    QCOMPARE(FileBytes(spring), LyricsFile(springHeader(), springLines()));
    QCOMPARE(FileBytes(inFolder(QStringLiteral("关联记录.TXT"))), recordBefore);
    QCOMPARE(nav_->player()->List1->count(), 3);
}

}  // namespace e2e
