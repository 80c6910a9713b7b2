#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextCursor>

#include "StepTwoRig.h"

namespace qiva::test {

namespace {
const QString kTextFilter = QStringLiteral("Text Files(*.TXT)|*.TXT");
// B, 今天, P, E in code page 936, then CR LF.
const QByteArray kExampleBytes = QByteArray::fromHex("42BDF1CCEC50450D0A");

QString ScratchFile(const QString& name) { return QDir(ScratchFolder()).filePath(name); }

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}
}  // namespace

class TestLyricTextFile : public QObject {
    Q_OBJECT
private slots:
    void saveWritesTheTextAndOneLineBreak();
    void openReadsEveryByte();
    void eachSaveOpenCycleAddsOneLineBreak();
    void lineBreaksInsideTheText();
    void openAndSaveUnchangedGivesTheSameBytes_data();
    void openAndSaveUnchangedGivesTheSameBytes();
    void editingKeepsTheOtherLineBreaks();
    void typedLineBreaksGoIntoTheLyricsFileAsCrLf();
    void nameWithoutExtensionAndReplacing();
    void cancelledDialogsChangeNothing();
    void openFailureKeepsTheText();
    void saveFailure();
    void emptyFileOpensAsEmptyText();
    void lengthLimit();
};

void TestLyricTextFile::saveWritesTheTextAndOneLineBreak() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("例子.TXT"));
    r.w->setText1(QStringLiteral("B今天PE"));
    r.save(path);
    QCOMPARE(Bytes(path), kExampleBytes);
    const auto& shown = r.t.dialogs.shown.back();
    QCOMPARE(shown.kind, FileDialog::Kind::SaveAs);
    QCOMPARE(shown.filter, kTextFilter);
    QCOMPARE(shown.flags, 1);
    QCOMPARE(shown.fileNameBefore, QString());
    QCOMPARE(shown.initDir, QString());  // save gives no folder of its own
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::openReadsEveryByte() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("打开.TXT"));
    Write(path, kExampleBytes);
    r.open(path);
    QCOMPARE(r.w->text1(), QStringLiteral("B今天PE\r\n"));
    QVERIFY(r.nextEnabled() && r.saveEnabled());
    const auto& shown = r.t.dialogs.shown.back();
    QCOMPARE(shown.kind, FileDialog::Kind::Open);
    QCOMPARE(shown.filter, kTextFilter);
    QCOMPARE(shown.flags, 1);
    QCOMPARE(shown.initDir, r.m.lyricsFolder());
    r.save(ScratchFile(QStringLiteral("之后.TXT")));  // the dialog keeps the folder an open gave it
    QCOMPARE(r.t.dialogs.shown.back().initDir, r.m.lyricsFolder());
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::eachSaveOpenCycleAddsOneLineBreak() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("循环.TXT"));
    r.w->setText1(QStringLiteral("B今天PE"));
    r.save(path);
    r.open(path);
    r.save(path);
    QCOMPARE(Bytes(path), kExampleBytes + "\r\n");
    r.open(path);
    QCOMPARE(r.w->text1(), QStringLiteral("B今天PE\r\n\r\n"));
    r.w->Command4->click();
    QCOMPARE(r.w->text1(), QStringLiteral("B今天PE"));
}

void TestLyricTextFile::lineBreaksInsideTheText() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("多行.TXT"));
    r.w->setText1(QStringLiteral("B今\r\n天\nPE"));
    r.save(path);
    // Every line break as the text holds it; the one CR LF of its own at the end.
    QCOMPARE(Bytes(path), QByteArray::fromHex("42BDF10D0ACCEC0A50450D0A"));
}

void TestLyricTextFile::openAndSaveUnchangedGivesTheSameBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray("B\xbd\xf1\r\n\xcc\xecP\r\nE\r\n");
    QTest::newRow("LF") << QByteArray("B\xbd\xf1\n\xcc\xecP\nE\n");
    QTest::newRow("CR") << QByteArray("B\xbd\xf1\r\xcc\xecP\rE\r");
    QTest::newRow("mixed, breaks together") << QByteArray("B\n\r\r\n\n\rP\r\n\n\rE");
    QTest::newRow("no break at all") << QByteArray("B\xbd\xf1PE");
    QTest::newRow("only breaks") << QByteArray("\n\r\n\r");
}

void TestLyricTextFile::openAndSaveUnchangedGivesTheSameBytes() {
    QFETCH(QByteArray, bytes);
    StepTwoRig r;
    const QString in = ScratchFile(QStringLiteral("别处写的.TXT"));
    const QString out = ScratchFile(QStringLiteral("原样保存.TXT"));
    Write(in, bytes);
    r.open(in);
    r.save(out);
    QCOMPARE(Bytes(out).toHex(), (bytes + "\r\n").toHex());
    // The lowercaser changes letters only, never a line break.
    r.w->Command5->click();
    r.save(out);
    QCOMPARE(Bytes(out).toHex(),
             QByteArray(bytes + "\r\n").replace('B', 'b').replace('P', 'p').replace('E', 'e').toHex());
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::editingKeepsTheOtherLineBreaks() {
    StepTwoRig r;
    const QString in = ScratchFile(QStringLiteral("编辑.TXT"));
    Write(in, QByteArray("B1\n2\r3\n4E"));
    r.open(in);
    QTextCursor c(r.w->Text1->document());
    r.w->Text1->setFocus();
    // Enter in the middle of "2": the new break is the typed kind, the old ones keep their places.
    c.setPosition(3);
    r.w->Text1->setTextCursor(c);
    QTest::keyClicks(r.w->Text1, QStringLiteral("x"));
    QTest::keyClick(r.w->Text1, Qt::Key_Return);
    QCOMPARE(r.w->text1(), QStringLiteral("B1\nx\r\n2\r3\n4E"));
    // Backspace at the start of "2" joins it to the line before: the typed break goes, the others stay.
    QTest::keyClick(r.w->Text1, Qt::Key_Backspace);
    QCOMPARE(r.w->text1(), QStringLiteral("B1\nx2\r3\n4E"));
    // Delete at the end of "x2" takes the CR after it.
    c = r.w->Text1->textCursor();
    c.movePosition(QTextCursor::EndOfBlock);
    r.w->Text1->setTextCursor(c);
    QTest::keyClick(r.w->Text1, Qt::Key_Delete);
    QCOMPARE(r.w->text1(), QStringLiteral("B1\nx23\n4E"));
    // A selection over a break, typed over; then Enter at the very end and at the very start.
    c.setPosition(1);
    c.setPosition(3, QTextCursor::KeepAnchor);
    r.w->Text1->setTextCursor(c);
    QTest::keyClicks(r.w->Text1, QStringLiteral("y"));
    QCOMPARE(r.w->text1(), QStringLiteral("Byx23\n4E"));
    c.movePosition(QTextCursor::End);
    r.w->Text1->setTextCursor(c);
    QTest::keyClick(r.w->Text1, Qt::Key_Return);
    c.movePosition(QTextCursor::Start);
    r.w->Text1->setTextCursor(c);
    QTest::keyClick(r.w->Text1, Qt::Key_Return);
    QCOMPARE(r.w->text1(), QStringLiteral("\r\nByx23\n4E\r\n"));
    // Shift+Enter is a line break the user typed too.
    QTest::keyClick(r.w->Text1, Qt::Key_Return, Qt::ShiftModifier);
    QCOMPARE(r.w->text1(), QStringLiteral("\r\n\r\nByx23\n4E\r\n"));
}

void TestLyricTextFile::typedLineBreaksGoIntoTheLyricsFileAsCrLf() {
    StepTwoRig r;
    r.w->Text1->setFocus();
    QTest::keyClicks(r.w->Text1, QStringLiteral("Babc"));
    QTest::keyClick(r.w->Text1, Qt::Key_Return);
    QTest::keyClicks(r.w->Text1, QStringLiteral("dPefgE"));
    QCOMPARE(r.w->text1(), QStringLiteral("Babc\r\ndPefgE"));
    const QString text = ScratchFile(QStringLiteral("打的字.TXT"));
    r.save(text);
    QCOMPARE(Bytes(text), QByteArray("Babc\r\ndPefgE\r\n"));

    // Next keeps the line break inside its line, and the lyrics file holds it inside the quotes.
    r.w->Command1->click();
    QCOMPARE(r.m.lyricLines[2].text, QStringLiteral("abc\r\nd"));
    const QString lyrics = ScratchFile(QStringLiteral("带换行的歌词.TXT"));
    r.m.WriteLyricsFile(lyrics);
    QVERIFY(Bytes(lyrics).contains(QByteArray("\r\n0,\"abc\r\nd\"\r\n0,\"efg\"\r\n")));
}

void TestLyricTextFile::nameWithoutExtensionAndReplacing() {
    StepTwoRig r;
    // A name typed without an extension gets the filter's, so that "打开歌曲文本" lists the file again.
    const QString typed = ScratchFile(QStringLiteral("无扩展名"));
    Write(typed, QByteArray(100, 'x'));
    r.w->setText1(QStringLiteral("B今天PE"));
    r.save(typed);
    QCOMPARE(Bytes(typed + ".TXT"), kExampleBytes);
    QCOMPARE(Bytes(typed), QByteArray(100, 'x'));
    // A typed extension stays as typed, in its own letter case, and an existing file is replaced unasked.
    const QString lower = ScratchFile(QStringLiteral("小写.txt"));
    Write(lower, QByteArray(100, 'x'));
    r.save(lower);
    QCOMPARE(Bytes(lower), kExampleBytes);
    QVERIFY(!QFile::exists(lower + ".TXT"));
    r.open(lower);
    QCOMPARE(r.w->text1(), QStringLiteral("B今天PE\r\n"));
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::cancelledDialogsChangeNothing() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(QString());
    r.save(QString());
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));
    QCOMPARE(r.t.dialogs.shown.size(), size_t{2});
    QVERIFY(r.t.prompter.boxes.empty());
}

void TestLyricTextFile::openFailureKeepsTheText() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(ScratchFile(QStringLiteral("不存在.TXT")));
    QCOMPARE(r.t.prompter.texts(), QStringList{"无法打开这个文件！"});
    QCOMPARE(r.t.prompter.boxes[0].title, QStringLiteral("错误！"));
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));
}

void TestLyricTextFile::saveFailure() {
    StepTwoRig r;
    r.w->setText1(QStringLiteral("B旧E"));
    const QString path = ScratchFile(QStringLiteral("没有这个文件夹/歌.TXT"));
    r.save(path);
    QCOMPARE(r.t.prompter.texts(), QStringList{"无法保存这个文件！"});
    QCOMPARE(r.t.prompter.boxes[0].title, QStringLiteral("错误！"));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));
}

void TestLyricTextFile::emptyFileOpensAsEmptyText() {
    StepTwoRig r;
    const QString path = ScratchFile(QStringLiteral("空.TXT"));
    Write(path, QByteArray());
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(path);
    QVERIFY(r.t.prompter.boxes.empty());
    QVERIFY(r.w->text1().isEmpty());
    QVERIFY(!r.nextEnabled() && !r.saveEnabled());
}

void TestLyricTextFile::lengthLimit() {
    StepTwoRig r;
    const QString longest = "B" + QString(32766, u'歌');
    const QString path = ScratchFile(QStringLiteral("最长.TXT"));
    r.w->setText1(longest);
    r.save(path);  // 32767 characters and the line break a save adds: opens again
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(path);
    QVERIFY(r.t.prompter.boxes.empty());
    QCOMPARE(r.w->text1(), longest + "\r\n");

    const QString tooLong = ScratchFile(QStringLiteral("太长.TXT"));
    Write(tooLong, QByteArray(32768, 'a'));
    r.w->setText1(QStringLiteral("B旧E"));
    r.open(tooLong);
    QCOMPARE(r.t.prompter.texts(), QStringList{"这个文件的歌词超过 32767 个字，无法打开！"});
    QCOMPARE(r.w->text1(), QStringLiteral("B旧E"));

    const size_t showings = r.t.dialogs.shown.size();
    r.w->setText1(longest + "歌");
    r.save(ScratchFile(QStringLiteral("不该写.TXT")));
    QCOMPARE(r.t.dialogs.shown.size(), showings);  // refused before the dialog
    QCOMPARE(r.t.prompter.texts().last(),
             QStringLiteral("歌词超过 32767 个字，无法保存！请删减歌词后再保存。"));
    QVERIFY(!QFile::exists(ScratchFile(QStringLiteral("不该写.TXT"))));
    r.t.dialogs.answers.clear();
}

int RunLyricTextFileTests(int argc, char** argv) {
    TestLyricTextFile t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestLyricTextFile.moc"
