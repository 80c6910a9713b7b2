#include <QTest>

#include "Suites.h"
#include "wizard/ExpandMarks.h"

namespace qiva::test {

namespace {
const QString kBegin = QStringLiteral("（开始）");
const QString kEnd = QStringLiteral("（结束）");
const QString kPause = QStringLiteral("（长时间停顿 ）");

QStringList LineTexts(const Main& doc) {
    QStringList out;
    for (int i = 1; i <= doc.lyricLineCount; ++i) out << doc.lyricLines[static_cast<size_t>(i)].text;
    return out;
}

// A document holding lines from an earlier run, to show that nothing of it survives or is touched.
Main EarlierRun() {
    Main doc(ScratchFolder());
    doc.lyricLineCount = 3;
    doc.lyricLines = {{"", 0}, {"旧一", 10}, {"旧二", 20}, {"旧三", 30}};
    return doc;
}
}  // namespace

class TestExpandMarks : public QObject {
    Q_OBJECT
private slots:
    void expands_data();
    void expands();
    void secondRunReplacesTheWholeTable();
    void limits_data();
    void limits();
    void textTools_data();
    void textTools();
};

void TestExpandMarks::expands_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    const QString t1 = QStringLiteral("今天"), t2 = QStringLiteral("好日子"), t3 = QStringLiteral("明天");
    QTest::newRow("B T1 P T2 E") << "B" + t1 + "P" + t2 + "E" << QStringList{kBegin, t1, t2, kEnd};
    QTest::newRow("B T1 S T2 P T3 E")
        << "B" + t1 + "S" + t2 + "P" + t3 + "E" << QStringList{kBegin, t1, kPause, t2, t3, kEnd};
    QTest::newRow("no end mark") << "B" + t1 + "P" + t2 << QStringList{kBegin, t1};
    QTest::newRow("no mark at all") << "B" + t1 << QStringList{kEnd};
    QTest::newRow("marks after E") << "B" + t1 + "E" + t2 + "P" + t3 << QStringList{kBegin, t1, t2, kEnd};
    QTest::newRow("two end marks") << "B" + t1 + "E" + t2 + "E" << QStringList{kBegin, t1, t2, "", kEnd};
    QTest::newRow("B P P T1 E") << "BPP" + t1 + "E" << QStringList{kBegin, "", "", t1, kEnd};
    QTest::newRow("first character not B") << t1 + "E" << QStringList{kBegin, "天", kEnd};
    QTest::newRow("only the beginning mark") << "B" << QStringList{kEnd};
    QTest::newRow("empty text") << "" << QStringList{kEnd};
    QTest::newRow("first character is a mark") << "E" + t1 + "E" << QStringList{kBegin, t1, kEnd};
    QTest::newRow("lower-case marks and a later B are text")
        << "Bpse今B天E" << QStringList{kBegin, "pse今B天", kEnd};
    QTest::newRow("after a long pause")
        << "B" + t1 + "S" + t2 + "E" << QStringList{kBegin, t1, kPause, t2, kEnd};
    QTest::newRow("long pause last") << "B" + t1 + "S" << QStringList{kBegin, t1, kPause};
    QTest::newRow("line break starts the next line")
        << "B" + t1 + "P\n" + t2 + "E" << QStringList{kBegin, t1, "\n" + t2, kEnd};
    QTest::newRow("spaces and tabs stay") << "B 今 天\tP好E" << QStringList{kBegin, " 今 天\t", "好", kEnd};
    QTest::newRow("first character outside the BMP")
        << QString::fromUtf8("\U0001F3B5") + t1 + "E" << QStringList{kBegin, t1, kEnd};
}

void TestExpandMarks::expands() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    Main doc = EarlierRun();
    QCOMPARE(ExpandMarks(text, doc), MarkCheck::Ok);
    QCOMPARE(int(doc.lyricLineCount), int(lines.size()));
    QCOMPARE(doc.lyricLines.size(), static_cast<size_t>(lines.size()) + 1);
    QCOMPARE(LineTexts(doc), lines);
    QCOMPARE(doc.lyricLines[0].text, QString());
    for (const LyricLine& line : doc.lyricLines) QCOMPARE(line.endTime, int16_t{0});
}

void TestExpandMarks::secondRunReplacesTheWholeTable() {
    Main doc(ScratchFolder());
    QCOMPARE(ExpandMarks(QStringLiteral("B一P二P三P四E"), doc), MarkCheck::Ok);
    doc.lyricLines[2].endTime = 55;
    QCOMPARE(ExpandMarks(QStringLiteral("B五E"), doc), MarkCheck::Ok);
    QCOMPARE(LineTexts(doc), (QStringList{kBegin, "五", kEnd}));
    QCOMPARE(doc.lyricLines.size(), size_t{4});
    QCOMPARE(doc.lyricLines[2].endTime, int16_t{0});
}

void TestExpandMarks::limits_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("check");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QString>("lastLine");
    const QString b = QStringLiteral("B");
    const int ok = int(MarkCheck::Ok);
    QTest::newRow("32767 characters") << b + QString(32766, u'字') << ok << 1 << kEnd;
    QTest::newRow("32768 characters") << b + QString(32767, u'字') << int(MarkCheck::TextTooLong) << 0 << "";
    QTest::newRow("32767 lines by short pauses") << b + QString(32766, u'P') << ok << 32767 << "";
    QTest::newRow("32767 lines by long pauses") << b + QString(16383, u'S') << ok << 32767 << kPause;
    QTest::newRow("32767 lines, end mark last") << b + QString(16382, u'S') + "E" << ok << 32767 << kEnd;
    QTest::newRow("32769 lines") << b + QString(16384, u'S') << int(MarkCheck::TooManyLines) << 0 << "";
    QTest::newRow("65533 lines") << b + QString(32766, u'E') << int(MarkCheck::TooManyLines) << 0 << "";
}

void TestExpandMarks::limits() {
    QFETCH(QString, text);
    QFETCH(int, check);
    QFETCH(int, lineCount);
    QFETCH(QString, lastLine);
    QCOMPARE(int(CheckMarks(text)), check);
    Main doc = EarlierRun();
    QCOMPARE(int(ExpandMarks(text, doc)), check);
    if (check == int(MarkCheck::Ok)) {
        QCOMPARE(int(doc.lyricLineCount), lineCount);
        QCOMPARE(doc.lyricLines.back().text, lastLine);
    } else {
        const Main untouched = EarlierRun();
        QCOMPARE(doc.lyricLineCount, untouched.lyricLineCount);
        QCOMPARE(doc.lyricLines[3].text, QStringLiteral("旧三"));
        QCOMPARE(doc.lyricLines[3].endTime, int16_t{30});
    }
}

void TestExpandMarks::textTools_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("spacesRemoved");
    QTest::addColumn<QString>("lowercased");
    QTest::newRow("spaces, breaks, ideographic space")
        << QStringLiteral("今天 是\r\n好日子\u3000P") << QStringLiteral("今天是好日子P")
        << QStringLiteral("今天 是\r\n好日子\u3000p");
    QTest::newRow("English words and a mark") << "Love Me P"
                                              << "LoveMeP"
                                              << "love me p";
    QTest::newRow("tabs and others stay") << "a\tB\u00a0Ｃ9"
                                          << "a\tB\u00a0Ｃ9"
                                          << "a\tb\u00a0Ｃ9";
    QTest::newRow("only spaces and breaks") << " \n\r\n\u3000 "
                                            << ""
                                            << " \n\r\n\u3000 ";
    // The text box shows the line and paragraph separators as line breaks, so they go too.
    QTest::newRow("separators are line breaks")
        << QStringLiteral("一\u2028二\u2029三") << QStringLiteral("一二三")
        << QStringLiteral("一\u2028二\u2029三");
    QTest::newRow("letter edges") << "@AZ[`az{"
                                  << "@AZ[`az{"
                                  << "@az[`az{";
}

void TestExpandMarks::textTools() {
    QFETCH(QString, text);
    QFETCH(QString, spacesRemoved);
    QFETCH(QString, lowercased);
    QCOMPARE(RemoveSpaces(text), spacesRemoved);
    QCOMPARE(LowercaseAscii(text), lowercased);
}

int RunExpandMarksTests(int argc, char** argv) {
    TestExpandMarks t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestExpandMarks.moc"
