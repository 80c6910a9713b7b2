// The field stream and the 16-bit conversion, table-driven, plus damaged and hostile input.

#include <QRandomGenerator>
#include <QTest>

#include "StoreTestUtil.h"
#include "store/FieldReader.h"
#include "store/Main.h"

using namespace qiva;

class FieldReaderTest : public QObject {
    Q_OBJECT
private slots:
    void splitsFields_data();
    void splitsFields();
    void convertsSixteenBitNumbers_data();
    void convertsSixteenBitNumbers();
    void refusesWhatIsNoSixteenBitNumber_data();
    void refusesWhatIsNoSixteenBitNumber();
    void reportsTheFieldThatIsMissing();
    void longInputIsReadInOnePass();
};

namespace {

// Every field the stream yields, then "<end>" or "<error>".
QStringList AllFields(const QString& text) {
    FieldReader reader(text);
    QStringList out;
    for (;;) {
        try {
            out << reader.NextText("field");
        } catch (const StoreError& e) {
            out << (QString::fromUtf8(e.what()).contains(QStringLiteral("ends before"))
                        ? QStringLiteral("<end>")
                        : QStringLiteral("<error>"));
            return out;
        }
    }
}

}  // namespace

void FieldReaderTest::splitsFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("commas and crlf") << QStringLiteral("a,b\r\nc") << QStringList{"a", "b", "c", "<end>"};
    QTest::newRow("lone cr and lf") << QStringLiteral("a\rb\nc\r\n") << QStringList{"a", "b", "c", "<end>"};
    QTest::newRow("leading blanks skipped, trailing dropped")
        << QStringLiteral("  a  ,\tb") << QStringList{"a", "b", "<end>"};
    QTest::newRow("quoted keeps commas and blanks")
        << QStringLiteral("\" x,y \"  ,z") << QStringList{" x,y ", "z", "<end>"};
    QTest::newRow("text after closing quote dropped")
        << QStringLiteral("\"a\"junk,b") << QStringList{"a", "b", "<end>"};
    QTest::newRow("line break inside quotes kept") << QStringLiteral("\"one\r\ntwo\",\"three\nfour\"\r\n")
                                                   << QStringList{"one\r\ntwo", "three\nfour", "<end>"};
    QTest::newRow("empty quoted") << QStringLiteral("\"\",\"\"") << QStringList{"", "", "<end>"};
    QTest::newRow("trailing comma gives one empty field")
        << QStringLiteral("a,") << QStringList{"a", "", "<end>"};
    QTest::newRow("blank line is an empty field")
        << QStringLiteral("a\r\n\r\nb") << QStringList{"a", "", "b", "<end>"};
    QTest::newRow("quote inside unquoted field kept")
        << QStringLiteral("a\"b,c") << QStringList{"a\"b", "c", "<end>"};
    QTest::newRow("never closed") << QStringLiteral("a,\"open, still") << QStringList{"a", "<error>"};
    QTest::newRow("empty stream") << QString() << QStringList{"<end>"};
}

void FieldReaderTest::splitsFields() {
    QFETCH(QString, text);
    QFETCH(QStringList, fields);
    QCOMPARE(AllFields(text), fields);
}

void FieldReaderTest::convertsSixteenBitNumbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("largest") << "32767" << 32767;
    QTest::newRow("smallest") << "-32768" << -32768;
    QTest::newRow("minus zero") << "-0" << 0;
    QTest::newRow("leading zeros") << "0000085" << 85;
    QTest::newRow("blanks around") << "  312  " << 312;
    QTest::newRow("quoted digits") << "\"2401\"" << 2401;
}

void FieldReaderTest::convertsSixteenBitNumbers() {
    QFETCH(QString, text);
    QFETCH(int, value);
    FieldReader reader(text + QStringLiteral(",next"));
    QCOMPARE(int(reader.NextInt16("n")), value);
    QCOMPARE(reader.NextText("next"), QStringLiteral("next"));
}

void FieldReaderTest::refusesWhatIsNoSixteenBitNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("one too large") << "32768";
    QTest::newRow("one too small") << "-32769";
    QTest::newRow("would wrap to 0") << "65536";
    QTest::newRow("huge") << "99999999999999999999999999999";
    QTest::newRow("empty") << "";
    QTest::newRow("sign alone") << "-";
    QTest::newRow("plus sign") << "+1";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("exponent") << "1e3";
    QTest::newRow("hex") << "0x10";
    QTest::newRow("digits then letters") << "12a";
    QTest::newRow("full-width digits") << "\uFF11\uFF12";
    QTest::newRow("blank inside") << "1 2";
}

void FieldReaderTest::refusesWhatIsNoSixteenBitNumber() {
    QFETCH(QString, text);
    FieldReader reader(text + QStringLiteral(",x"));
    QVERIFY_THROWS_EXCEPTION(StoreError, reader.NextInt16("end time"));
}

void FieldReaderTest::reportsTheFieldThatIsMissing() {
    FieldReader reader(QStringLiteral("1\r\n"));
    reader.NextInt16("line count");
    try {
        reader.NextText("composer");
        QFAIL("no error");
    } catch (const StoreError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).startsWith(QStringLiteral("composer")), e.what());
    }
}

void FieldReaderTest::longInputIsReadInOnePass() {
    // Millions of separators, an endless quoted field and an endless number must all be linear; a quadratic
    // reader would not finish this test in reasonable time.
    const qsizetype n = 2'000'000;
    FieldReader commas(QString(n, u','));
    for (qsizetype i = 0; i <= n; ++i) QVERIFY(commas.NextText("f").isEmpty());
    QVERIFY_THROWS_EXCEPTION(StoreError, commas.NextText("f"));
    FieldReader quoted(QStringLiteral("\"") + QString(n, u'x'));
    QVERIFY_THROWS_EXCEPTION(StoreError, quoted.NextText("f"));
    FieldReader digits(QString(n, u'9'));
    QVERIFY_THROWS_EXCEPTION(StoreError, digits.NextInt16("n"));
}

int qiva::test::RunFieldReaderTest(int argc, char** argv) {
    FieldReaderTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "FieldReaderTest.moc"
