#include "WriterFaultTest.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "FaultPlaces.h"
#include "association/JoinForm.h"
#include "platform/doubles/Doubles.h"
#include "store/Main.h"
#include "wizard/EditForm2.h"
#include "wizard/EditForm3.h"

namespace qiva::test {
namespace {

enum class Fault { None, ReadOnly, Full, SizeLimit, Vanished, Directory, Proc };
enum class Writer { TextSave, LyricsSave, RecordJoin, LyricsJoin, RecordStepThree };

const QString kCannotSave = QStringLiteral("无法保存这个文件！");
const QString kCommitFailed = QStringLiteral("无法保存关联记录，关联没有完成。原来的关联记录保持不变。");
const QString kRewriteFailed = QStringLiteral("无法写入歌词文件，关联没有完成。原来的歌词文件保持不变。");
// Smaller than every file the writers try to write here, larger than the lyrics file "关联" rewrites.
constexpr qint64 kSizeLimit = 400;

// A lyrics folder with a previous record, timed lyrics file and lyric text file in it, and a writable
// folder beside it; then the fault.
struct Scene {
    QTemporaryDir base;
    QString lyrics = base.filePath(QStringLiteral("歌词"));
    QString other = base.filePath(QStringLiteral("other"));
    QString gone = base.filePath(QStringLiteral("gone"));
    QString dirRecord = base.filePath(QStringLiteral("dir-record"));
    MountGuard mount;
    std::unique_ptr<FileSizeLimit> limit;
    TestServices ts;
    QString song() const { return QDir(other).filePath(QStringLiteral("song.MP3")); }
    QString joinLyrics() const { return QDir(other).filePath(QStringLiteral("join.TXT")); }
    QString oldLyrics() const { return QDir(lyrics).filePath(QStringLiteral("old.TXT")); }
    QString oldText() const { return QDir(lyrics).filePath(QStringLiteral("old-text.TXT")); }
};

void FillDocument(Main& doc, const QString& songPath, int lines) {
    doc.lyricAlbum = doc.lyricSinger = doc.lyricComposer = doc.lyricTitle = doc.lyricLyricist =
        QStringLiteral("未知");
    doc.lyricSongPath = songPath;
    doc.ResetLines(static_cast<int16_t>(lines));
    for (int i = 1; i <= lines; ++i) {
        doc.lyricLines[static_cast<size_t>(i)] = {QStringLiteral("第%1行，月亮代表我的心").arg(i),
                                                  static_cast<int16_t>(i * 37)};
    }
}

QString PrepareFolders(Scene& s, Fault fault) {
    for (const QString& dir : {s.lyrics, s.other, s.gone, s.dirRecord}) QDir().mkpath(dir);
    QDir().mkpath(QDir(s.dirRecord).filePath(QStringLiteral("关联记录.TXT")));
    QDir().mkpath(QDir(s.lyrics).filePath(QStringLiteral("folder.TXT")));
    if (fault == Fault::Full) {
        if (QString why = s.mount.mountTinyTmpfs(s.lyrics, 64 * 1024); !why.isEmpty()) return why;
        QDir().mkpath(QDir(s.lyrics).filePath(QStringLiteral("folder.TXT")));
    }
    // The previous files, written by the program's own writers.
    Main record(s.lyrics);
    for (int i = 1; i <= 10; ++i) {
        record.AppendAssociation(QStringLiteral("D:\\我的音乐\\流行歌曲\\歌%1.MP3").arg(i),
                                 QStringLiteral("D:\\我的歌词\\流行歌曲\\歌%1.TXT").arg(i));
        record.CommitAssociation(s.ts.prompter);
    }
    Main doc(s.lyrics);
    FillDocument(doc, s.song(), 20);
    doc.WriteLyricsFile(s.oldLyrics());
    SaveLyricText(s.oldText(),
                  QStringLiteral("B以前的歌词P以前的歌词P以前的歌词P以前的歌词P以前的歌词E").repeated(4));
    Main join(s.other);
    FillDocument(join, QStringLiteral("D:\\old.MP3"), 2);
    join.WriteLyricsFile(s.joinLyrics());
    s.ts.players.songs.insert(s.song(), 200);
    QDir(s.gone).removeRecursively();
    return {};
}

// Applied once the previous files are in place.
QString ApplyFault(Scene& s, Fault fault) {
    switch (fault) {
        case Fault::ReadOnly:
            return s.mount.bindReadOnly(s.lyrics);
        case Fault::Full:
            return FillUp(s.lyrics) ? QString() : QStringLiteral("the tiny file system could not be filled");
        case Fault::SizeLimit:
            s.limit = std::make_unique<FileSizeLimit>(kSizeLimit);
            return {};
        default:
            return {};
    }
}

// Where the file writers are told to write, by fault.
QString FileTarget(const Scene& s, Fault fault, const QString& previous) {
    switch (fault) {
        case Fault::Vanished:
            return QDir(s.gone).filePath(QStringLiteral("new.TXT"));
        case Fault::Directory:
            return QDir(s.lyrics).filePath(QStringLiteral("folder.TXT"));
        case Fault::Proc:
            return QStringLiteral("/proc/qiva-fault.TXT");
        default:
            return previous;
    }
}

// The folder whose record the association writers rewrite, by fault.
QString RecordFolder(const Scene& s, Fault fault) {
    switch (fault) {
        case Fault::Vanished:
            return s.gone;
        case Fault::Directory:
            return s.dirRecord;
        case Fault::Proc:
            return QStringLiteral("/proc");
        default:
            return s.lyrics;
    }
}

void SaveText(Scene& s, Fault fault) {
    Main m(s.other);
    m.lyricSongPath = s.song();  // as step one handed it over
    EditForm2 w(m, s.ts.services);
    w.setText1(QStringLiteral("B新的歌词P新的歌词S新的歌词E").repeated(30));
    s.ts.dialogs.answers.push_back(FileTarget(s, fault, s.oldText()));
    w.Command3_Click();
}

void FinishStepThree(Scene& s, const QString& recordFolder, const QString& target) {
    Main m(recordFolder);
    FillDocument(m, s.song(), 20);
    EditForm3 w(m, s.ts.services);
    s.ts.dialogs.answers.push_back(target);
    w.Command1_Click();
}

void Associate(Scene& s, const QString& recordFolder, const QString& lyricsFile) {
    Main m(recordFolder);
    try {
        m.LoadAssociations();  // as the player did at start-up; a record that is a folder loads nothing
    } catch (const StoreError&) {
    }
    auto owner = s.ts.players.create(true);
    JoinForm form(m, s.ts.services, *owner);
    s.ts.dialogs.answers.push_back(s.song());
    form.Command1_Click();
    s.ts.dialogs.answers.push_back(lyricsFile);
    form.Command2_Click();
    QVERIFY2(form.songOk && form.lyricsOk, "the association window did not accept both files");
    form.Command3_Click();
}

void RunWriter(Scene& s, Writer writer, Fault fault) {
    switch (writer) {
        case Writer::TextSave:
            return SaveText(s, fault);
        case Writer::LyricsSave:
            return FinishStepThree(s, fault == Fault::Proc || fault == Fault::Vanished ? s.other : s.lyrics,
                                   FileTarget(s, fault, s.oldLyrics()));
        case Writer::RecordStepThree:
            return FinishStepThree(s, RecordFolder(s, fault),
                                   QDir(s.other).filePath(QStringLiteral("new.TXT")));
        case Writer::RecordJoin:
            return Associate(s, RecordFolder(s, fault), s.joinLyrics());
        case Writer::LyricsJoin:
            return Associate(s, s.other, s.oldLyrics());
    }
}

QString ExpectedMessage(Writer writer) {
    switch (writer) {
        case Writer::RecordJoin:
            return kCommitFailed;
        case Writer::LyricsJoin:
            return kRewriteFailed;
        default:
            return kCannotSave;
    }
}

}  // namespace

void WriterFaultTest::writeFails_data() {
    QTest::addColumn<int>("writer");
    QTest::addColumn<int>("fault");
    const struct {
        const char* name;
        Writer writer;
    } writers[] = {{"lyric text save", Writer::TextSave},
                   {"step three save", Writer::LyricsSave},
                   {"step three record", Writer::RecordStepThree},
                   {"associate record", Writer::RecordJoin},
                   {"associate lyrics rewrite", Writer::LyricsJoin}};
    const struct {
        const char* name;
        Fault fault;
    } faults[] = {{"read-only folder", Fault::ReadOnly},  {"full disk", Fault::Full},
                  {"file size limit", Fault::SizeLimit},  {"vanished folder", Fault::Vanished},
                  {"name is a folder", Fault::Directory}, {"/proc", Fault::Proc}};
    for (const auto& w : writers) {
        for (const auto& f : faults) {
            const bool folderFault =
                f.fault == Fault::ReadOnly || f.fault == Fault::Full || f.fault == Fault::SizeLimit;
            // The lyrics file must pass the window's check first, so it can only sit in an existing folder;
            // and step three writes its (larger) lyrics file before the record, so a size limit stops that.
            if (w.writer == Writer::LyricsJoin && !folderFault) continue;
            if (w.writer == Writer::RecordStepThree && f.fault == Fault::SizeLimit) continue;
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(w.name, f.name)))
                << int(w.writer) << int(f.fault);
        }
    }
}

void WriterFaultTest::writeFails() {
    QFETCH(int, writer);
    QFETCH(int, fault);
    Scene s;
    const auto f = static_cast<Fault>(fault);
    const auto w = static_cast<Writer>(writer);
    if (QString why = PrepareFolders(s, f); !why.isEmpty())
        QSKIP(qPrintable("this machine cannot make the fault: " + why));
    if (QString why = ApplyFault(s, f); !why.isEmpty())
        QSKIP(qPrintable("this machine cannot make the fault: " + why));
    const QMap<QString, QByteArray> lyricsBefore = Snapshot(s.lyrics);
    const QMap<QString, QByteArray> otherBefore = Snapshot(s.other);
    const QMap<QString, QByteArray> dirRecordBefore = Snapshot(s.dirRecord);

    RunWriter(s, w, f);
    s.limit.reset();
    if (QTest::currentTestFailed()) return;

    const std::vector<ScriptedPrompter::Box>& boxes = s.ts.prompter.boxes;
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].kind, QStringLiteral("ok"));
    QCOMPARE(boxes[0].title, QStringLiteral("错误！"));
    QVERIFY2(boxes[0].text.startsWith(ExpectedMessage(w)), qPrintable(boxes[0].text));
    QVERIFY(!s.ts.nav.calls.contains(QStringLiteral("ShowPlayer")));  // step three stays open
    // Nothing lost and nothing left behind: every previous file as it was, no stray temporary file.
    QCOMPARE(Snapshot(s.lyrics), lyricsBefore);
    QCOMPARE(Snapshot(s.dirRecord), dirRecordBefore);
    QVERIFY(!QFileInfo::exists(s.gone));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/qiva-fault.TXT")));
    if (w == Writer::RecordStepThree && f == Fault::Directory) {
        // A record that cannot even be read stops the save before the lyrics file is written.
        QVERIFY(!QFileInfo::exists(QDir(s.other).filePath(QStringLiteral("new.TXT"))));
    } else if (w == Writer::RecordStepThree) {
        // The lyrics file was written before the record failed; it stays, whole.
        Main back(s.other);
        back.ReadLyricsFile(QDir(s.other).filePath(QStringLiteral("new.TXT")));
        QCOMPARE(back.lyricLineCount, int16_t(20));
    } else {
        // The association window puts back the lyrics file it rewrote when the record cannot follow.
        QCOMPARE(Snapshot(s.other), otherBefore);
    }
}

// The same scene without a fault: every writer succeeds, so the failures above come from the faults alone.
void WriterFaultTest::nothingBreaksWhileTheFaultIsAbsent() {
    for (Writer w : {Writer::TextSave, Writer::LyricsSave, Writer::RecordStepThree, Writer::RecordJoin,
                     Writer::LyricsJoin}) {
        Scene s;
        QVERIFY(PrepareFolders(s, Fault::None).isEmpty());
        RunWriter(s, w, Fault::None);
        for (const auto& box : s.ts.prompter.boxes)
            QVERIFY2(box.kind != QStringLiteral("ok"), qPrintable(box.text));
    }
}

}  // namespace qiva::test
