// The first start, the demo, and one authoring run from "新建歌词" to the saved, associated lyrics.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

#include "Expected.h"
#include "Journey.h"
#include "app/Demo.h"
#include "app/LineLabel.h"
#include "app/MainPlay.h"
#include "platform/MarkerImage.h"
#include "platform/MediaPlayerControl.h"
#include "wizard/EditForm1.h"
#include "wizard/EditForm2.h"
#include "wizard/EditForm3.h"

using namespace qiva;

namespace e2e {

namespace {
const QString kTyped = QStringLiteral("B春眠不觉晓 P处处闻啼鸟\nS夜来风雨声\u3000P花落知多少E");
const QString kMarked = QStringLiteral("B春眠不觉晓P处处闻啼鸟S夜来风雨声P花落知多少E");
const QString kInfoSpring = QStringLiteral("歌手： 测试歌手\n歌曲： 春晓\n专辑： 唐诗");
}  // namespace

QString Journey::inFolder(const QString& name) const {
    return QDir::toNativeSeparators(QDir(folder_).filePath(name));
}

Header Journey::springHeader() const {
    // The composer's box was emptied, so it went on as "Unknown".
    return {QStringLiteral("唐诗"), QStringLiteral("测试歌手"), QStringLiteral("Unknown"), song_,
            QStringLiteral("春晓"), QStringLiteral("孟浩然")};
}

Lines Journey::springLines() const {
    Lines lines;
    for (qsizetype i = 0; i < texts_.size(); ++i) lines.append({times_[i], texts_[i]});
    return lines;
}

QStringList Journey::springRows() const {
    QStringList r;
    for (qsizetype i = 0; i < texts_.size(); ++i) r << Row(texts_[i], times_[i]);
    return r;
}

QStringList Journey::rows(QListWidget* list) const {
    QStringList r;
    for (int i = 0; i < list->count(); ++i) r << list->item(i)->text();
    return r;
}

void Journey::initTestCase() {
    QVERIFY(tmp_.isValid());
    folder_ = QDir(tmp_.path()).filePath(QStringLiteral("歌词"));
    InstallFirstRunDemo(folder_);

    // An eight-second song, made now: short, because the null output plays in real time.
    QVERIFY(QDir(tmp_.path()).mkpath(QStringLiteral("我的歌")));
    const QString wav = tmp_.filePath(QStringLiteral("spring.wav"));
    song_ = QDir::toNativeSeparators(tmp_.filePath(QStringLiteral("我的歌/春晓.MP3")));
    QCOMPARE(QProcess::execute(
                 QStringLiteral("sox"),
                 {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"), QStringLiteral("-c"),
                  QStringLiteral("2"), wav, QStringLiteral("synth"), QStringLiteral("8"),
                  QStringLiteral("sine"), QStringLiteral("330"), QStringLiteral("sine"),
                  QStringLiteral("440"), QStringLiteral("vol"), QStringLiteral("0.3")}),
             0);
    QCOMPARE(QProcess::execute(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-b"),
                                                        QStringLiteral("128"), wav, song_}),
             0);

    // The program's settings of this run, fresh: the desktop lyrics start hidden in their default place.
    qputenv("XDG_CONFIG_HOME", tmp_.filePath(QStringLiteral("config")).toUtf8());
    m_ = std::make_unique<Main>(folder_);
    nav_ = std::make_unique<Navigator>(*m_, players_, dialogs_, prompter_);
    script_ = std::make_unique<ModalScript>();
    nav_->ShowPlayer();
}

void Journey::cleanup() {
    const QStringList left = script_->take();
    const bool allRan = script_->done();
    script_->clear();
    QVERIFY2(left.isEmpty(),
             qPrintable(QStringLiteral("windows nobody checked: ") + left.join(QStringLiteral(" | "))));
    QVERIFY2(allRan, "an expected window never opened");
}

void Journey::cleanupTestCase() {
    if (nav_ && nav_->player()) nav_->player()->close();
    nav_.reset();
    script_.reset();
    m_.reset();
}

void Journey::firstStartListsTheDemo() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    QVERIFY(QTest::qWaitForWindowExposed(p));
    QCOMPARE(p->windowTitle(), QStringLiteral("播放窗体"));
    // What the window manager shows: the window's own caption alone; the program's name comes from the
    // desktop entry, which the window class names.
    QCOMPARE(XCaption(p, QStringLiteral("播放窗体")), QStringLiteral("播放窗体"));
    const QString wmClass =
        QStringLiteral("\"%1\", \"qiva\"").arg(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    QCOMPARE(XProperty(p, QStringLiteral("WM_CLASS"), wmClass), wmClass);
    QVERIFY(!p->windowIcon().isNull());
    const QString song = inFolder(QStringLiteral("演示歌曲.MP3"));
    const QString lyrics = inFolder(QStringLiteral("演示歌曲.TXT"));
    QCOMPARE(rows(p->List1), QStringList{song + QStringLiteral("   ") + lyrics});

    QCOMPARE(FileBytes(song), FileBytes(QStringLiteral(QIVA_ASSETS "/demo.mp3")));
    QCOMPARE(FileBytes(inFolder(QStringLiteral("right.gif"))),
             FileBytes(QStringLiteral(QIVA_ASSETS "/right.gif")));
    QCOMPARE(FileBytes(lyrics),
             LyricsFile({QStringLiteral("QIVA歌词秀演示"), QStringLiteral("合成语音"), QStringLiteral("QIVA"),
                         song, QStringLiteral("演示歌曲"), QStringLiteral("QIVA")},
                        DemoLines()));
    QCOMPARE(FileBytes(inFolder(QStringLiteral("步骤二示例.TXT"))),
             Gb(QString::fromUtf8(FileBytes(QStringLiteral(QIVA_ASSETS "/step2-example.txt")))) + "\r\n");
    QCOMPARE(FileBytes(inFolder(QStringLiteral("关联记录.TXT"))), RecordFile({{song, lyrics}}));
    Shot(p, QStringLiteral("player-idle"));
}

void Journey::demoRowPlaysWithItsLyrics() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    const Lines demo = DemoLines();
    ClickRow(p->List1, 0);
    QCOMPARE(p->MP->PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(p->Label4->text(), QStringLiteral("歌手： 合成语音\n歌曲： 演示歌曲\n专辑： QIVA歌词秀演示"));
    QCOMPARE(p->Label2->text(), demo[0].second);
    QCOMPARE(p->Label3->text(), demo[1].second);

    // Label2 moves on to line 2 when line 1 has ended, not before.
    QVERIFY(WaitFor([&] { return p->Label2->text() == demo[1].second; }, 6000));
    QVERIFY(p->MP->CurrentPosition() >= demo[0].first / 10.0);
    QCOMPARE(p->Label1->text(), demo[0].second);
    QCOMPARE(p->Label3->text(), demo[2].second);
    const int markerAtLineStart = p->Image1->left();
    QVERIFY(WaitFor([&] { return p->Image1->left() > markerAtLineStart + 20; }, 3000));
    // On a real X display the steps go straight to the window's backing store.
    QVERIFY(p->Image1->directSteps() > 0);
    Shot(p, QStringLiteral("player-playing"));
}

void Journey::stepOneChoosesAndTestsTheSong() {
    QVERIFY(nav_->player());
    QVERIFY(Click(nav_->player()->Command1));
    EditForm1* one = nav_->stepOne();
    QVERIFY(one);
    QVERIFY(QTest::qWaitForWindowExposed(one));
    QVERIFY(WaitFor([&] { return nav_->player() == nullptr; }));
    QCOMPARE(one->windowTitle(), QStringLiteral("与歌曲关联窗体"));
    QCOMPARE(XCaption(one, QStringLiteral("与歌曲关联窗体")), QStringLiteral("与歌曲关联窗体"));
    QVERIFY(!one->Command2->isEnabled());
    QVERIFY(!one->Command3->isEnabled());

    script_->expectCancelledFileDialog();
    script_->expectMessage(QMessageBox::Ok);
    QVERIFY(Click(one->Command1));
    COMPARE_SEEN(script_->take(), (QStringList{QStringLiteral("打开: cancelled"),
                                               QStringLiteral("错误！: 请指定一个文件！")}));
    QCOMPARE(one->Text1->text(), QString());

    script_->expectFileDialog(song_);
    QVERIFY(Click(one->Command1));
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("打开: ") + song_});
    QCOMPARE(one->Text1->text(), song_);
    QVERIFY(Click(one->Command3));
    QCOMPARE(one->MP->PlayState(), int(MediaPlayer::Playing));
    QVERIFY(one->Command2->isEnabled());
    QCOMPARE(m_->lyricSongPath, song_);
    Shot(one, QStringLiteral("step1"));

    QVERIFY(Click(one->Command2));
    QVERIFY(nav_->stepTwo());
    QVERIFY(QTest::qWaitForWindowExposed(nav_->stepTwo()));
    QVERIFY(!one->isVisible());
    QCOMPARE(one->MP->PlayState(), int(MediaPlayer::Stopped));
}

void Journey::stepTwoCollectsTheMarkedText() {
    EditForm2* two = nav_->stepTwo();
    QVERIFY(two);
    QCOMPARE(two->windowTitle(), QStringLiteral("歌词采集窗体"));
    QCOMPARE(XCaption(two, QStringLiteral("歌词采集窗体")), QStringLiteral("歌词采集窗体"));
    for (QLineEdit* field : {two->Text2, two->Text3, two->Text4, two->Text5, two->Text6})
        QCOMPARE(field->text(), QStringLiteral("未知"));
    QVERIFY(!two->Command1->isEnabled());
    QVERIFY(!two->Command3->isEnabled());

    Type(two->Text1, kTyped);
    // The Enter key types a CR LF, as the Windows text box held it.
    QCOMPARE(two->text1(), QString(kTyped).replace(u'\n', QStringLiteral("\r\n")));
    QVERIFY(two->Command1->isEnabled());
    QVERIFY(two->Command3->isEnabled());
    Retype(two->Text2, QStringLiteral("春晓"));
    Retype(two->Text3, QStringLiteral("测试歌手"));
    Retype(two->Text4, QStringLiteral("唐诗"));
    Retype(two->Text5, QStringLiteral("孟浩然"));
    Retype(two->Text6, QString());
    QVERIFY(Click(two->Command4));  // 自动空格去除器
    QCOMPARE(two->text1(), kMarked);

    // Typed without an extension: the dialog adds its filter's, so that "打开歌曲文本" lists the file.
    const QString textFile = inFolder(QStringLiteral("春晓歌词"));
    script_->expectFileDialog(textFile);
    QVERIFY(Click(two->Command3));
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("另存为: ") + textFile});
    QCOMPARE(FileBytes(textFile + QStringLiteral(".TXT")), Gb(kMarked) + "\r\n");
    QVERIFY(!QFileInfo::exists(textFile));

    // A text written elsewhere, with a lone LF and a lone CR, opens and saves again to the same bytes.
    const QByteArray elsewhere = Gb(QStringLiteral("B春眠不觉晓\nP处处闻啼鸟\rE"));
    {
        QFile f(inFolder(QStringLiteral("别处.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(elsewhere) == elsewhere.size());
    }
    script_->expectFileDialog(QStringLiteral("别处.txt"));
    QVERIFY(Click(two->Command2));
    script_->expectFileDialog(QStringLiteral("别处原样"));
    QVERIFY(Click(two->Command3));
    COMPARE_SEEN(script_->take(),
                 (QStringList{QStringLiteral("打开: 别处.txt"), QStringLiteral("另存为: 别处原样")}));
    QCOMPARE(FileBytes(inFolder(QStringLiteral("别处原样.TXT"))), elsewhere + "\r\n");

    Retype(two->Text1, QString());
    QVERIFY(!two->Command1->isEnabled());
    QVERIFY(!two->Command3->isEnabled());
    script_->expectFileDialog(QStringLiteral("春晓歌词.TXT"), true);
    QVERIFY(Click(two->Command2));
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("打开: 春晓歌词.TXT in ") + folder_});
    QCOMPARE(two->text1(), kMarked + QStringLiteral("\r\n"));
    QVERIFY(Click(two->Command4));
    QCOMPARE(two->text1(), kMarked);
    Shot(two, QStringLiteral("step2"));

    QVERIFY(Click(two->Command1));  // 下一步
    QCOMPARE(two->Text6->text(), QStringLiteral("Unknown"));
    QCOMPARE(m_->lyricTitle, QStringLiteral("春晓"));
    QCOMPARE(m_->lyricSinger, QStringLiteral("测试歌手"));
    QCOMPARE(m_->lyricAlbum, QStringLiteral("唐诗"));
    QCOMPARE(m_->lyricLyricist, QStringLiteral("孟浩然"));
    QCOMPARE(m_->lyricComposer, QStringLiteral("Unknown"));
    QVERIFY(nav_->stepThree());
    QVERIFY(QTest::qWaitForWindowExposed(nav_->stepThree()));
    QVERIFY(!two->isVisible());
}

bool Journey::recordAt(double seconds, int line) {
    EditForm3* three = nav_->stepThree();
    if (!WaitForPosition(three->MP, seconds)) return false;
    // The press stores the position heard at that moment: between the ones read just before and just after
    // (after the last press the song has been stopped, so a tenth later stands in for "after").
    const int before = static_cast<int>(three->MP->CurrentPosition() * 10);
    if (!Click(three->Command4)) return false;
    const int after = std::max(before + 1, static_cast<int>(three->MP->CurrentPosition() * 10));
    const int stored = m_->lyricLines[line].endTime;
    times_[line - 1] = stored;
    if (stored >= before && stored <= after) return true;
    qWarning("line %d: pressed between %d and %d tenths, stored %d", line, before, after, stored);
    return false;
}

void Journey::stepThreeRecordsEveryLine() {
    EditForm3* three = nav_->stepThree();
    QVERIFY(three);
    QCOMPARE(three->windowTitle(), QStringLiteral("歌词编辑"));
    QCOMPARE(XCaption(three, QStringLiteral("歌词编辑")), QStringLiteral("歌词编辑"));
    texts_ = {QStringLiteral("（开始）"),        QStringLiteral("春眠不觉晓"), QStringLiteral("处处闻啼鸟"),
              QStringLiteral("（长时间停顿 ）"), QStringLiteral("夜来风雨声"), QStringLiteral("花落知多少"),
              QStringLiteral("（结束）")};
    times_ = QList<int>(texts_.size(), 0);
    QCOMPARE(rows(three->List1), springRows());
    QVERIFY(!three->List1->isEnabled());

    QVERIFY(Click(three->Command2));  // 开始记录
    QCOMPARE(three->MP->PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(three->Label1->text(), texts_[0]);
    QVERIFY(recordAt(0.4, 1));
    QCOMPARE(three->Label1->text(), texts_[1]);
    QVERIFY(recordAt(1.5, 2));
    QVERIFY(Click(three->Command3));  // 请停一下
    QCOMPARE(three->MP->PlayState(), int(MediaPlayer::Paused));
    QVERIFY(three->List1->isEnabled());
    QVERIFY(three->Command1->isEnabled());
    QVERIFY(!three->Command4->isEnabled());

    // Line 1 has no line before it with a time; line 3 starts where line 2 ended, in whole seconds.
    script_->expectMessage(QMessageBox::Ok);
    ClickRow(three->List1, 0);
    COMPARE_SEEN(script_->take(),
                 QStringList{QStringLiteral("错误: 上一条的结束时间还没有确定！不能编辑这一条！")});
    ClickRow(three->List1, 2);
    QCOMPARE(three->recordLine, int16_t(3));
    QCOMPARE(three->MP->PlayState(), int(MediaPlayer::Paused));
    QVERIFY(qAbs(three->MP->CurrentPosition() - times_[1] / 10) < 0.05);
    QVERIFY(Click(three->Command2));
    QCOMPARE(three->Label1->text(), texts_[2]);
    QVERIFY(recordAt(2.4, 3));
    QVERIFY(recordAt(3.3, 4));
    QVERIFY(recordAt(4.5, 5));
    script_->expectMessage(QMessageBox::Ok);
    QVERIFY(recordAt(5.6, 6));
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("恭喜!: 全部完成了!")});

    // The last line ends with the song: eight seconds.
    times_[6] = m_->lyricLines[7].endTime;
    QVERIFY2(times_[6] >= 79 && times_[6] <= 81, qPrintable(QString::number(times_[6])));
    QVERIFY(WaitFor([&] { return three->MP->PlayState() == MediaPlayer::Stopped; }));
    QCOMPARE(rows(three->List1), springRows());
}

void Journey::stepThreeCorrectsAndFinishes() {
    EditForm3* three = nav_->stepThree();
    QVERIFY(three);
    RightClickSurface(three);
    QVERIFY(ClickMenuItem(three->popit, QStringLiteral("全部歌词提前半秒")));
    for (int& t : times_) t = std::max(1, t - 5);
    QCOMPARE(rows(three->List1), springRows());

    script_->expectInput(QStringLiteral("夜来风和雨"));
    DoubleClickRow(three->List1, 4);
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("替换: 将 夜来风雨声  换成 [夜来风雨声]")});
    texts_[4] = QStringLiteral("夜来风和雨");
    QCOMPARE(rows(three->List1), springRows());
    Shot(three, QStringLiteral("step3"));

    script_->expectFileDialog(QStringLiteral("春晓"), true);
    QVERIFY(Click(three->Command1));  // 完成
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("另存为: 春晓 in ") + folder_});
    QVERIFY(WaitFor(
        [&] { return nav_->stepThree() == nullptr && nav_->player() && nav_->player()->isVisible(); }));

    const QString song = inFolder(QStringLiteral("演示歌曲.MP3"));
    const QString lyrics = inFolder(QStringLiteral("演示歌曲.TXT"));
    const QString spring = inFolder(QStringLiteral("春晓.TXT"));
    QCOMPARE(FileBytes(spring), LyricsFile(springHeader(), springLines()));
    QCOMPARE(FileBytes(inFolder(QStringLiteral("关联记录.TXT"))),
             RecordFile({{song, lyrics}, {song_, spring}}));
}

void Journey::newRowPlaysWithItsLyrics() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    QVERIFY(QTest::qWaitForWindowExposed(p));
    const QString spring = inFolder(QStringLiteral("春晓.TXT"));
    QVERIFY(Click(p->Command3));  // 刷新列表
    QCOMPARE(p->List1->count(), 2);
    QCOMPARE(p->List1->item(1)->text(), song_ + QStringLiteral("   ") + spring);

    ClickRow(p->List1, 1);
    QCOMPARE(p->MP->PlayState(), int(MediaPlayer::Playing));
    QCOMPARE(p->Label4->text(), kInfoSpring);
    QVERIFY(WaitFor([&] { return p->Label2->text() == texts_[2]; }, 5000));
    QVERIFY(p->MP->CurrentPosition() >= times_[1] / 10.0);
    QCOMPARE(p->Label1->text(), texts_[1]);
    QCOMPARE(p->Label3->text(), texts_[3]);
}

}  // namespace e2e
