// The association table: loading the record file, appending, the duplicate questions of a commit in their
// order, editMode, and atomic rewrites of the record.

#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "StoreTestUtil.h"
#include "platform/doubles/Doubles.h"
#include "store/LyricsFolder.h"
#include "store/Main.h"

using namespace qiva;
using qiva::test::Bytes;
using qiva::test::Fixture;
using qiva::test::PutBytes;
using qiva::test::ScriptedPrompter;

namespace {

const QString kSongQ = QStringLiteral("发现这个音乐文件已经和一个歌词文件关联，是否继续？");
const QString kLyricsQ = QStringLiteral("发现这个歌词文件已经和一个音乐文件关联，是否继续？");

QStringList Entries(const Main& m) {
    QStringList out;
    for (int i = 1; i <= m.assocCount; ++i)
        out << m.assocTable[size_t(i)].songPath + u'|' + m.assocTable[size_t(i)].lyricsPath;
    return out;
}

// "s1|l1" style pairs into the table, as a load would leave them.
void Fill(Main& m, const QStringList& entries) {
    for (const QString& e : entries) m.AppendAssociation(e.section(u'|', 0, 0), e.section(u'|', 1));
}

QByteArray RecordBytes(const QStringList& entries) {
    QByteArray out = QByteArray::number(entries.size()) + "\r\n";
    for (const QString& e : entries) {
        out += '"' + e.section(u'|', 0, 0).toLatin1() + "\",\"" + e.section(u'|', 1).toLatin1() + "\"\r\n";
    }
    return out;
}

}  // namespace

class AssociationTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void loadsCodePage936Record();
    void missingEmptyOrZeroRecordKeepsTheTable_data();
    void missingEmptyOrZeroRecordKeepsTheTable();
    void malformedRecordFailsAndChangesNothing_data();
    void malformedRecordFailsAndChangesNothing();
    void appendAfterAZeroLoadStartsAFreshTable();
    void appendStopsAtTheSixteenBitLimit();
    void appendRefusesADoubleQuote();
    void commitAsksInOrder_data();
    void commitAsksInOrder();
    void commitDoesNothingInEditMode();
    void confirmAsksButWritesNothing();
    void commitWithoutAnAppendedEntryFails();
    void failedWriteKeepsTheRecordAndTheEntry();
    void appendManySkipsIdenticalEntriesAndWritesOnce();
    void appendManyRefusesPastTheLimitOrOnAFailedWrite();
    void folderPathWorksWithOrWithoutSeparator();
    void lyricsFolderFallsBackWhenTheProgramFolderIsUnusable();

private:
    QString RecordPath() const { return dir_.filePath(QStringLiteral("关联记录.TXT")); }
    std::unique_ptr<QTemporaryDir> tmp_;
    QDir dir_;
};

void AssociationTest::init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
    dir_.setPath(tmp_->path());
}

void AssociationTest::loadsCodePage936Record() {
    QVERIFY(QFile::copy(Fixture(QStringLiteral("assoc_cp936.txt")), RecordPath()));
    Main m(dir_.path());
    m.LoadAssociations();
    QCOMPARE(Entries(m),
             (QStringList{"D:\\音乐\\月亮.MP3|D:\\歌词\\月亮.TXT", "E:\\歌\\a,b.mp3|E:\\歌\\€.TXT"}));
    // Writing the same table gives the same bytes back, the euro sign as 0x80 included.
    ScriptedPrompter prompter;
    m.AppendAssociation(QStringLiteral("F:\\新.mp3"), QStringLiteral("F:\\新.TXT"));
    m.CommitAssociation(prompter);
    QVERIFY(prompter.boxes.empty());
    const QByteArray old = Bytes(Fixture(QStringLiteral("assoc_cp936.txt")));
    QCOMPARE(Bytes(RecordPath()).toHex(),
             (QByteArray("3") + old.mid(1) +
              QByteArray::fromHex("22463a5cd0c22e6d7033222c22463a5cd0c22e545854220d0a"))
                 .toHex());
}

void AssociationTest::missingEmptyOrZeroRecordKeepsTheTable_data() {
    QTest::addColumn<QString>("fixture");  // copied as the record; "" for no record at all
    QTest::newRow("missing") << "";
    QTest::newRow("zero bytes") << "empty.txt";
    QTest::newRow("count 0") << "assoc_zero.txt";
}

void AssociationTest::missingEmptyOrZeroRecordKeepsTheTable() {
    QFETCH(QString, fixture);
    if (!fixture.isEmpty()) QVERIFY(QFile::copy(Fixture(fixture), RecordPath()));
    const QByteArray before = Bytes(RecordPath());
    Main m(dir_.path());
    Fill(m, {"a|b", "c|d"});
    m.LoadAssociations();
    QCOMPARE(m.assocCount, int16_t{0});
    QCOMPARE(m.assocTable.size(), size_t{3});
    QCOMPARE(m.assocTable[2].lyricsPath, QStringLiteral("d"));
    QCOMPARE(Bytes(RecordPath()), before);
}

void AssociationTest::malformedRecordFailsAndChangesNothing_data() {
    QTest::addColumn<QString>("fixture");
    QTest::newRow("fewer entries than the count") << "assoc_short.txt";
    QTest::newRow("count not a number") << "assoc_garbage.txt";
    QTest::newRow("negative count") << "assoc_negative.txt";
    QTest::newRow("count beyond 16 bits") << "assoc_too_big.txt";
    QTest::newRow("a lyrics file, not a record") << "example.txt";
}

void AssociationTest::malformedRecordFailsAndChangesNothing() {
    QFETCH(QString, fixture);
    QVERIFY(QFile::copy(Fixture(fixture), RecordPath()));
    const QByteArray before = Bytes(RecordPath());
    Main m(dir_.path());
    Fill(m, {"a|b", "c|d"});
    QVERIFY_THROWS_EXCEPTION(StoreError, m.LoadAssociations());
    QCOMPARE(Entries(m), (QStringList{"a|b", "c|d"}));
    QCOMPARE(m.assocTable.size(), size_t{3});
    QCOMPARE(Bytes(RecordPath()), before);
}

void AssociationTest::appendAfterAZeroLoadStartsAFreshTable() {
    QVERIFY(QFile::copy(Fixture(QStringLiteral("assoc_extra.txt")), RecordPath()));
    Main m(dir_.path());
    m.LoadAssociations();
    QCOMPARE(Entries(m), QStringList{"a|b"});  // the record beyond the count is ignored
    QFile::remove(RecordPath());
    Fill(m, {"x|y"});
    m.LoadAssociations();  // no record: count 0, the old entries linger unused
    m.AppendAssociation(QStringLiteral("n"), QStringLiteral("m"));
    QCOMPARE(Entries(m), QStringList{"n|m"});
    QCOMPARE(m.assocTable.size(), size_t{2});
}

void AssociationTest::appendStopsAtTheSixteenBitLimit() {
    Main m(dir_.path());
    m.assocTable.resize(32768);
    m.assocCount = 32766;
    m.AppendAssociation(QStringLiteral("last"), QStringLiteral("one"));
    QCOMPARE(m.assocCount, int16_t{32767});
    QVERIFY_THROWS_EXCEPTION(StoreError, m.AppendAssociation(QStringLiteral("too"), QStringLiteral("many")));
    QCOMPARE(m.assocCount, int16_t{32767});
    QCOMPARE(m.assocTable.size(), size_t{32768});
    QCOMPARE(m.assocTable[32767].songPath, QStringLiteral("last"));
}

void AssociationTest::appendRefusesADoubleQuote() {
    Main m(dir_.path());
    Fill(m, {"a|b"});
    QVERIFY_THROWS_EXCEPTION(StoreError, m.AppendAssociation(QStringLiteral("a\"b"), QStringLiteral("c")));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.AppendAssociation(QStringLiteral("c"), QStringLiteral("\"")));
    QCOMPARE(Entries(m), QStringList{"a|b"});
}

void AssociationTest::commitAsksInOrder_data() {
    QTest::addColumn<QStringList>("table");  // entries already saved
    QTest::addColumn<QString>("added");
    QTest::addColumn<QList<bool>>("answers");
    QTest::addColumn<QStringList>("questions");
    QTest::addColumn<bool>("kept");
    const QStringList six{"s1|l1", "s2|l2", "s3|l3", "s4|l4", "s5|l5"};
    QTest::newRow("first entry, nothing to ask")
        << QStringList{} << "s|l" << QList<bool>{} << QStringList{} << true;
    QTest::newRow("no match") << six << "s9|l9" << QList<bool>{} << QStringList{} << true;
    QTest::newRow("song as entry 3, lyrics as entry 5, Yes Yes")
        << six << "s3|l5" << QList<bool>{true, true} << QStringList{kSongQ, kLyricsQ} << true;
    QTest::newRow("song as entry 3, lyrics as entry 5, No")
        << six << "s3|l5" << QList<bool>{false} << QStringList{kSongQ} << false;
    QTest::newRow("song as entry 3, lyrics as entry 5, Yes No")
        << six << "s3|l5" << QList<bool>{true, false} << QStringList{kSongQ, kLyricsQ} << false;
    QTest::newRow("both paths as entry 2: song asked first")
        << six << "s2|l2" << QList<bool>{true, true} << QStringList{kSongQ, kLyricsQ} << true;
    QTest::newRow("both paths as entry 2, song No")
        << six << "s2|l2" << QList<bool>{false} << QStringList{kSongQ} << false;
    QTest::newRow("lyrics only") << six << "s9|l4" << QList<bool>{true} << QStringList{kLyricsQ} << true;
    QTest::newRow("every older match asks again")
        << QStringList{"s|a", "t|b", "s|c"} << "s|d" << QList<bool>{true, true} << QStringList{kSongQ, kSongQ}
        << true;
    QTest::newRow("first No ends the commit")
        << QStringList{"s|a", "t|b", "s|c"} << "s|d" << QList<bool>{false} << QStringList{kSongQ} << false;
    QTest::newRow("letter case differs: no question")
        << six << "S3|L5" << QList<bool>{} << QStringList{} << true;
    QTest::newRow("other written form: no question")
        << QStringList{"/m/a.mp3|/m/a.TXT"} << "/m/./a.mp3|/m//a.TXT" << QList<bool>{} << QStringList{}
        << true;
}

void AssociationTest::commitAsksInOrder() {
    QFETCH(QStringList, table);
    QFETCH(QString, added);
    QFETCH(QList<bool>, answers);
    QFETCH(QStringList, questions);
    QFETCH(bool, kept);
    const QByteArray before = RecordBytes(table);
    PutBytes(RecordPath(), before);
    Main m(dir_.path());
    m.LoadAssociations();
    Fill(m, {added});
    ScriptedPrompter prompter;
    prompter.yesNoAnswers.assign(answers.begin(), answers.end());
    m.CommitAssociation(prompter);
    QCOMPARE(prompter.texts(), questions);
    for (const auto& box : prompter.boxes) {
        QCOMPARE(box.kind, QStringLiteral("yesno"));
        QCOMPARE(box.title, QStringLiteral("询问！"));
    }
    QVERIFY(prompter.yesNoAnswers.empty());
    const QStringList after = kept ? table + QStringList{added} : table;
    QCOMPARE(Entries(m), after);
    QCOMPARE(m.assocTable.size(), size_t(after.size() + 1));
    QCOMPARE(Bytes(RecordPath()), kept ? RecordBytes(after) : before);
}

void AssociationTest::commitDoesNothingInEditMode() {
    const QByteArray before = RecordBytes({"s1|l1"});
    PutBytes(RecordPath(), before);
    Main m(dir_.path());
    m.LoadAssociations();
    m.editMode = true;
    Fill(m, {"s1|l1"});
    ScriptedPrompter prompter;
    m.CommitAssociation(prompter);
    QVERIFY(prompter.boxes.empty());
    QCOMPARE(Entries(m), (QStringList{"s1|l1", "s1|l1"}));
    QCOMPARE(Bytes(RecordPath()), before);
    // The next load with a positive count discards the unsaved entry.
    m.LoadAssociations();
    QCOMPARE(Entries(m), QStringList{"s1|l1"});
}

void AssociationTest::confirmAsksButWritesNothing() {
    const QByteArray before = RecordBytes({"s1|l1"});
    PutBytes(RecordPath(), before);
    Main m(dir_.path());
    m.LoadAssociations();
    Fill(m, {"s1|l2"});
    ScriptedPrompter prompter;
    prompter.yesNoAnswers = {false};
    QVERIFY(!m.ConfirmAssociation(prompter));
    QCOMPARE(Entries(m), QStringList{"s1|l1"});
    Fill(m, {"s1|l2"});
    QVERIFY(m.ConfirmAssociation(prompter));  // Yes
    QCOMPARE(prompter.texts(), (QStringList{kSongQ, kSongQ}));
    QCOMPARE(Bytes(RecordPath()), before);  // the questions alone write nothing
    m.WriteAssociations();
    QCOMPARE(Bytes(RecordPath()), RecordBytes({"s1|l1", "s1|l2"}));
    // In edit mode the association goes ahead unasked and the record is not written.
    m.editMode = true;
    Fill(m, {"s1|l1"});
    QVERIFY(m.ConfirmAssociation(prompter));
    m.WriteAssociations();
    QCOMPARE(prompter.boxes.size(), size_t(2));
    QCOMPARE(Bytes(RecordPath()), RecordBytes({"s1|l1", "s1|l2"}));
}

void AssociationTest::commitWithoutAnAppendedEntryFails() {
    Main m(dir_.path());
    ScriptedPrompter prompter;
    QVERIFY_THROWS_EXCEPTION(StoreError, m.CommitAssociation(prompter));
    QVERIFY(!QFile::exists(RecordPath()));
}

void AssociationTest::failedWriteKeepsTheRecordAndTheEntry() {
    const QStringList table{"s1|l1", "s2|l2"};
    const QByteArray before = RecordBytes(table);
    PutBytes(RecordPath(), before);
    Main m(dir_.path());
    m.LoadAssociations();
    Fill(m, {QString(3000, u'x') + QStringLiteral("|l3")});
    ScriptedPrompter prompter;
    {
        qiva::test::FileSizeLimit limit(1024);
        QVERIFY_THROWS_EXCEPTION(StoreError, m.CommitAssociation(prompter));
    }
    QCOMPARE(Bytes(RecordPath()), before);
    QCOMPARE(m.assocCount, int16_t{3});
    QCOMPARE(dir_.entryList(QDir::Files), QStringList{"关联记录.TXT"});
    // A folder standing where the record belongs.
    QVERIFY(QFile::remove(RecordPath()));
    QVERIFY(dir_.mkdir(QStringLiteral("关联记录.TXT")));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.CommitAssociation(prompter));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.LoadAssociations());
    QCOMPARE(m.assocCount, int16_t{3});
}

// A song already associated with another lyrics file gets one more entry without a question, in edit mode
// as well; only entries equal in both paths are left out.
void AssociationTest::appendManySkipsIdenticalEntriesAndWritesOnce() {
    Main m(dir_.path());
    Fill(m, {"s1|l1", "s2|l2"});
    m.editMode = true;
    QCOMPARE(m.AppendAssociations({{"s2", "l2"}, {"s1", "other"}, {"s3", "l3"}, {"s3", "l3"}, {"S3", "l3"}}),
             3);
    const QStringList all = {"s1|l1", "s2|l2", "s1|other", "s3|l3", "S3|l3"};
    QCOMPARE(Entries(m), all);
    QCOMPARE(Bytes(RecordPath()), RecordBytes(all));
    QVERIFY(QFile::remove(RecordPath()));
    QCOMPARE(m.AppendAssociations({{"s3", "l3"}}), 0);
    QVERIFY(!QFile::exists(RecordPath()));
}

void AssociationTest::appendManyRefusesPastTheLimitOrOnAFailedWrite() {
    Main m(dir_.path());
    Fill(m, {"a|b"});
    ScriptedPrompter prompter;
    m.CommitAssociation(prompter);
    const QByteArray before = Bytes(RecordPath());
    m.assocTable.resize(32767);
    m.assocCount = 32766;
    QVERIFY_THROWS_EXCEPTION(TableFullError, m.AppendAssociations({{"x", "y"}, {"a", "b"}, {"z", "y"}}));
    QVERIFY_THROWS_EXCEPTION(StoreError, m.AppendAssociations({{"x", "y\"z"}}));
    QCOMPARE(m.assocCount, int16_t{32766});
    QCOMPARE(m.AppendAssociations({{"a", "b"}, {"x", "y"}}), 1);
    QCOMPARE(m.assocCount, int16_t{32767});
    m.assocTable.resize(2);
    m.assocCount = 1;
    QVERIFY(QFile::remove(RecordPath()));
    PutBytes(RecordPath(), before);
    {
        qiva::test::FileSizeLimit limit(before.size() + 4);
        QVERIFY_THROWS_EXCEPTION(StoreError, m.AppendAssociations({{"long song path", "long lyrics path"}}));
    }
    QCOMPARE(Entries(m), QStringList{"a|b"});
    QCOMPARE(Bytes(RecordPath()), before);
}

void AssociationTest::folderPathWorksWithOrWithoutSeparator() {
    PutBytes(RecordPath(), RecordBytes({"a|b"}));
    for (const QString& folder :
         {dir_.path(), dir_.path() + u'/', QDir::toNativeSeparators(dir_.path() + u'/')}) {
        Main m(folder);
        QCOMPARE(QDir::cleanPath(m.assocFilePath()), QDir::cleanPath(RecordPath()));
        m.LoadAssociations();
        QCOMPARE(Entries(m), QStringList{"a|b"});
    }
}

void AssociationTest::lyricsFolderFallsBackWhenTheProgramFolderIsUnusable() {
    const QString program = dir_.filePath(QStringLiteral("程序"));
    const QString user = dir_.filePath(QStringLiteral("用户"));
    QVERIFY(dir_.mkdir(QStringLiteral("程序")));
    QCOMPARE(LyricsFolderIn(program, user), QDir::toNativeSeparators(program + QStringLiteral("/歌词")));
    QVERIFY(QFileInfo(program + QStringLiteral("/歌词")).isDir());
    // A program "folder" that is really a file cannot hold the lyrics folder.
    const QString blocked = dir_.filePath(QStringLiteral("文件"));
    PutBytes(blocked, "x");
    QCOMPARE(LyricsFolderIn(blocked, user), QDir::toNativeSeparators(user + QStringLiteral("/歌词")));
    QVERIFY(QFileInfo(user + QStringLiteral("/歌词")).isDir());
    // The real one ends in the lyrics folder's name and exists.
    const QString real = LyricsFolder();
    QVERIFY2(real.endsWith(QStringLiteral("歌词")), qPrintable(real));
    QVERIFY(QFileInfo(real).isDir());
}

int qiva::test::RunAssociationTest(int argc, char** argv) {
    AssociationTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "AssociationTest.moc"
