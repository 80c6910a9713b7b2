// LRC from end to end: a folder of songs dragged onto the player from another window, one of them played
// with its LRC lyrics, a new song timed from the keyboard and saved as LRC, and that file edited again.

#include <QComboBox>
#include <QDir>
#include <QDrag>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <QtTest>

#include "Expected.h"
#include "Journey.h"
#include "app/LineLabel.h"
#include "app/MainPlay.h"
#include "platform/MediaPlayerControl.h"
#include "wizard/EditForm1.h"
#include "wizard/EditForm2.h"
#include "wizard/EditForm3.h"

using namespace qiva;

namespace e2e {

namespace {
const QString kDropped =
    QStringLiteral("添加歌曲: 已添加 2 首歌曲。\n1 首歌曲旁边没有同名的歌词文件（.lrc 或 .txt），没有添加。");

// A file manager's window: a press on it drags its files away, as far as the pointer then goes.
class FileWindow : public QWidget {
public:
    explicit FileWindow(QStringList paths) : paths_(std::move(paths)) {
        setWindowTitle(QStringLiteral("文件"));
        resize(160, 120);
    }
    Qt::DropAction result = Qt::IgnoreAction;

protected:
    void mousePressEvent(QMouseEvent*) override {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& p : paths_) urls << QUrl::fromLocalFile(p);
        data->setUrls(urls);
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        result = drag->exec(Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, Qt::MoveAction);
    }

private:
    QStringList paths_;
};

bool Run(const QString& command) {
    QProcess p;
    QStringList args = command.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    p.start(args.takeFirst(), args);
    return p.waitForStarted(3000) && WaitFor([&] { return p.state() == QProcess::NotRunning; }, 15000) &&
           p.exitCode() == 0;
}

// The pointer presses on `from`, travels to `to` in a few steps and lets go there, through the X server.
bool DragThroughTheServer(const QPoint& from, const QPoint& to) {
    QString moves =
        QStringLiteral("xdotool mousemove %1 %2 mousedown 1 sleep 0.3").arg(from.x()).arg(from.y());
    for (int step = 1; step <= 4; ++step) {
        const QPoint at = from + (to - from) * step / 4;
        moves += QStringLiteral(" mousemove %1 %2 sleep 0.2").arg(at.x()).arg(at.y());
    }
    moves += QStringLiteral(" mousemove %1 %2 sleep 0.4 mouseup 1").arg(to.x() + 3).arg(to.y() + 3);
    return Run(moves);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}

QString Stamp(int tenths) {
    return QString::asprintf("[%02d:%02d.%d0]", tenths / 600, tenths / 10 % 60, tenths % 10);
}

QStringList RowsOf(const QStringList& texts, const QList<int>& times) {
    QStringList r;
    for (qsizetype i = 0; i < texts.size(); ++i) r << Row(texts[i], times[i]);
    return r;
}
}  // namespace

void Journey::droppedFolderAddsSongsWithLyrics() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    const QDir drop(tmp_.filePath(QStringLiteral("拖来的歌")));
    QVERIFY(drop.mkpath(QStringLiteral("子")));
    QVERIFY(QFile::copy(song_, drop.filePath(QStringLiteral("晨.mp3"))));
    QVERIFY(QFile::copy(song_, drop.filePath(QStringLiteral("无词.mp3"))));
    QVERIFY(QFile::copy(song_, drop.filePath(QStringLiteral("子/夜.MP3"))));
    WriteFile(
        drop.filePath(QStringLiteral("晨.lrc")),
        QStringLiteral("[ti:晨]\n[ar:拖放歌手]\n[00:00.00]晨一\n[00:02.00]晨二\n[00:04.00]晨三\n").toUtf8());
    WriteFile(drop.filePath(QStringLiteral("子/夜.LRC")),
              Gb(QStringLiteral("[00:01.00]夜一\r\n[00:03.50]夜二\r\n")));

    FileWindow files({drop.path()});
    const QRect screen = p->screen()->geometry();
    files.move(p->frameGeometry().right() + 40 < screen.right() - 200 ? p->frameGeometry().right() + 40 : 20,
               p->frameGeometry().bottom() + 40 < screen.bottom() - 160 ? p->y() : screen.bottom() - 160);
    files.show();
    QVERIFY(QTest::qWaitForWindowExposed(&files));
    Activate(p);
    const int before = p->List1->count();
    script_->expectMessage(QMessageBox::Ok);
    const QPoint onList = p->List1->mapToGlobal(p->List1->rect().center());
    QVERIFY(DragThroughTheServer(files.mapToGlobal(files.rect().center()), onList));
    QVERIFY(WaitFor([&] { return script_->done(); }));
    COMPARE_SEEN(script_->take(), QStringList{kDropped});
    // Copied, never moved: the files stay where they were.
    QCOMPARE(files.result, Qt::CopyAction);
    QVERIFY(QFileInfo::exists(drop.filePath(QStringLiteral("晨.mp3"))));

    const QStringList all = rows(p->List1);
    QCOMPARE(all.size(), before + 2);
    QCOMPARE(all.mid(before),
             (QStringList{drop.filePath(QStringLiteral("晨.mp3")) + QStringLiteral("   ") +
                              drop.filePath(QStringLiteral("晨.lrc")),
                          drop.filePath(QStringLiteral("子/夜.MP3")) + QStringLiteral("   ") +
                              drop.filePath(QStringLiteral("子/夜.LRC"))}));
    m_->LoadAssociations();
    QCOMPARE(int(m_->assocCount), before + 2);
}

void Journey::droppedSongPlaysWithItsLrc() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    ClickRow(p->List1, p->List1->count() - 2);
    QCOMPARE(p->MP->PlayState(), int(MediaPlayer::Playing));
    QVERIFY(p->Label4->text().contains(QStringLiteral("歌手： 拖放歌手")));
    QVERIFY(p->Label4->text().contains(QStringLiteral("歌曲： 晨")));
    QCOMPARE(p->Label2->text(), QStringLiteral("晨一"));
    QCOMPARE(p->Label3->text(), QStringLiteral("晨二"));
    QVERIFY(WaitFor([&] { return p->Label2->text() == QStringLiteral("晨二"); }, 5000));
    QVERIFY(p->MP->CurrentPosition() >= 2.0);
    QCOMPARE(p->Label1->text(), QStringLiteral("晨一"));
    QCOMPARE(p->Label3->text(), QStringLiteral("晨三"));
    // The last line lasts to the end of the song.
    QVERIFY(WaitFor([&] { return p->Label2->text() == QStringLiteral("晨三"); }, 5000));
    QTest::qWait(1500);
    QCOMPARE(p->Label2->text(), QStringLiteral("晨三"));
}

void Journey::newSongTimedFromTheKeyboardSavedAsLrc() {
    QVERIFY(nav_->player());
    QVERIFY(Click(nav_->player()->Command1));  // 新建歌词
    EditForm1* one = nav_->stepOne();
    QVERIFY(one);
    QVERIFY(QTest::qWaitForWindowExposed(one));
    const QString chime = QDir::toNativeSeparators(tmp_.filePath(QStringLiteral("我的歌/钟声.MP3")));
    QVERIFY(QFile::copy(song_, chime));
    script_->expectFileDialog(chime);
    QVERIFY(Click(one->Command1));
    QVERIFY(Click(one->Command3));
    QVERIFY(Click(one->Command2));  // 下一步
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("打开: ") + chime});
    EditForm2* two = nav_->stepTwo();
    QVERIFY(two);
    QVERIFY(QTest::qWaitForWindowExposed(two));
    Type(two->Text1, QStringLiteral("B钟一P钟二P钟三E"));
    QVERIFY(Click(two->Command1));
    EditForm3* three = nav_->stepThree();
    QVERIFY(three);
    QVERIFY(QTest::qWaitForWindowExposed(three));

    chimeTexts_ = {QStringLiteral("（开始）"), QStringLiteral("钟一"), QStringLiteral("钟二"),
                   QStringLiteral("钟三"), QStringLiteral("（结束）")};
    chimeTimes_ = QList<int>(chimeTexts_.size(), 0);
    // Timed at half speed: the song plays slower, and each tap still stores the song time heard.
    three->SpeedBox->setCurrentIndex(three->SpeedBox->findData(50));
    QCOMPARE(three->MP->speed(), 50);
    QVERIFY(Click(three->Command2));  // 开始记录
    Activate(three);
    QElapsedTimer wall;
    wall.start();
    // Taps of the space bar, whatever holds the focus; the time stored is the one heard at the tap.
    auto tapAt = [&](double seconds, int line) {
        if (!WaitForPosition(three->MP, seconds)) return false;
        const int heard = static_cast<int>(three->MP->CurrentPosition() * 10);
        QTest::keyClick(three->windowHandle(), Qt::Key_Space);
        chimeTimes_[line - 1] = m_->lyricLines[line].endTime;
        return chimeTimes_[line - 1] >= heard && chimeTimes_[line - 1] <= heard + 1;
    };
    QVERIFY(tapAt(0.8, 1));
    QVERIFY(tapAt(2.0, 2));
    // Taken back: line 2 again, heard from the song's start (3 s before line 2's start at 0.8 s).
    QTest::keyClick(three->windowHandle(), Qt::Key_Backspace);
    QCOMPARE(int(three->recordLine), 2);
    QVERIFY(three->MP->CurrentPosition() < 0.5);
    QVERIFY(tapAt(2.2, 2));
    const qint64 atLine2 = wall.elapsed();
    QVERIFY(tapAt(3.4, 3));
    // 1.2 s of the song took about 2.4 s to hear.
    const qint64 took = wall.elapsed() - atLine2;
    QVERIFY2(took >= 2100 && took <= 3200, qPrintable(QString::number(took)));
    script_->expectMessage(QMessageBox::Ok);
    QVERIFY(tapAt(4.6, 4));
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("恭喜!: 全部完成了!")});
    chimeTimes_[4] = m_->lyricLines[5].endTime;
    QVERIFY2(chimeTimes_[4] >= 79 && chimeTimes_[4] <= 81, qPrintable(QString::number(chimeTimes_[4])));
    QCOMPARE(rows(three->List1), RowsOf(chimeTexts_, chimeTimes_));

    script_->expectFileDialog(QStringLiteral("钟声.lrc"), true);
    QVERIFY(Click(three->Command1));  // 完成
    COMPARE_SEEN(script_->take(), QStringList{QStringLiteral("另存为: 钟声.lrc in ") + folder_});
    QVERIFY(WaitFor([&] { return nav_->stepThree() == nullptr && nav_->player(); }));

    const QString lrc = inFolder(QStringLiteral("钟声.lrc"));
    QString body;
    for (qsizetype i = 0; i < chimeTexts_.size(); ++i)
        body += Stamp(i == 0 ? 0 : chimeTimes_[i - 1]) + chimeTexts_[i] + QStringLiteral("\r\n");
    body += Stamp(chimeTimes_.last()) + QStringLiteral("\r\n");
    const QByteArray written = FileBytes(lrc);
    QVERIFY2(written.startsWith("[ti:") && written.endsWith(body.toUtf8()), written.constData());
    m_->LoadAssociations();
    QCOMPARE(m_->assocTable[size_t(m_->assocCount)].songPath, chime);
    QCOMPARE(m_->assocTable[size_t(m_->assocCount)].lyricsPath, lrc);
}

void Journey::editReopensTheLrcAndSavesItAgain() {
    MainPlay* p = nav_->player();
    QVERIFY(p);
    QVERIFY(QTest::qWaitForWindowExposed(p));
    const QString lrc = inFolder(QStringLiteral("钟声.lrc"));
    const QString chime = QDir::toNativeSeparators(tmp_.filePath(QStringLiteral("我的歌/钟声.MP3")));
    const QByteArray saved = FileBytes(lrc);
    const QByteArray record = FileBytes(inFolder(QStringLiteral("关联记录.TXT")));
    QVERIFY(Click(p->Command4));  // 编辑歌词
    EditForm3* three = nav_->stepThree();
    QVERIFY(three);
    QVERIFY(QTest::qWaitForWindowExposed(three));

    // The LRC file names no song and none lies beside it in the lyrics folder: the song is asked for.
    script_->expectFileDialog(QStringLiteral("钟声.lrc"), true);
    script_->expectFileDialog(chime);
    QVERIFY(Click(three->Command5));  // 导入完成歌词
    COMPARE_SEEN(script_->take(), (QStringList{QStringLiteral("打开: 钟声.lrc in ") + folder_,
                                               QStringLiteral("打开: ") + chime}));
    QCOMPARE(three->MP->FileName(), chime);
    QCOMPARE(rows(three->List1), RowsOf(chimeTexts_, chimeTimes_));

    script_->expectFileDialog(QStringLiteral("钟声.lrc"), true);
    script_->expectMessage(QMessageBox::Yes);  // the file dialog's own question: replace the existing file?
    script_->expectMessage(QMessageBox::No);   // the song is linked already
    QVERIFY(Click(three->Command1));
    QCOMPARE(script_->take().size(), 3);
    QVERIFY(WaitFor([&] { return nav_->stepThree() == nullptr && nav_->player(); }));
    // Read and written again, the file keeps every byte.
    QCOMPARE(FileBytes(lrc), saved);
    QCOMPARE(FileBytes(inFolder(QStringLiteral("关联记录.TXT"))), record);
}

}  // namespace e2e
