// The code page 936 conversion: identical bytes for every character code page 936 has, a lossless form for
// every other character, the single-byte euro sign, and safe handling of damaged bytes.

#include <iconv.h>

#include <QTest>
#include <cstring>

#include "StoreTestUtil.h"
#include "store/Codec.h"

using namespace qiva;

namespace {

// The system's own code page 936 converter serves as the reference.
class Reference {
public:
    Reference(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Reference() { iconv_close(cd_); }
    Reference(const Reference&) = delete;
    Reference& operator=(const Reference&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    // Empty when the reference cannot convert `in`.
    QByteArray Convert(const QByteArray& in) {
        char buf[16];
        char* src = const_cast<char*>(in.data());
        size_t inLeft = static_cast<size_t>(in.size());
        char* dst = buf;
        size_t outLeft = sizeof buf;
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &src, &inLeft, &dst, &outLeft) == static_cast<size_t>(-1)) return {};
        return QByteArray(buf, dst - buf);
    }

private:
    iconv_t cd_;
};

}  // namespace

class CodecTest : public QObject {
    Q_OBJECT
private slots:
    void encodes_data();
    void encodes();
    void matchesCodePage936ForEveryCharacterItHas();
    void decodesEveryCodePage936Pair();
    void readsBothEuroForms();
    void damagedBytesBecomeReplacementCharacters_data();
    void damagedBytesBecomeReplacementCharacters();
    void loneSurrogateIsWrittenAsReplacementCharacter();
};

void CodecTest::encodes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << QStringLiteral("D:\\MP3\\a.MP3, 1") << QByteArray("D:\\MP3\\a.MP3, 1");
    QTest::newRow("chinese") << QStringLiteral("未知") << QByteArray::fromHex("ceb4d6aa");
    QTest::newRow("full-width brackets")
        << QStringLiteral("（开始）") << QByteArray::fromHex("a3a8bfaacabca3a9");
    QTest::newRow("euro is one byte") << QStringLiteral("a€b") << QByteArray::fromHex("618062");
    QTest::newRow("euro alone") << QStringLiteral("€€") << QByteArray::fromHex("8080");
    // Characters code page 936 lacks keep a GB18030 form instead of becoming "?".
    QTest::newRow("outside cp936, bmp") << QStringLiteral("\u00C5") << QByteArray::fromHex("81308733");
    QTest::newRow("outside cp936, emoji") << QStringLiteral("\U0001F600") << QByteArray::fromHex("9439fc36");
    QTest::newRow("empty") << QString() << QByteArray();
}

void CodecTest::encodes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(EncodeAnsi(text).toHex(), bytes.toHex());
    QCOMPARE(DecodeAnsi(bytes), text);
}

void CodecTest::matchesCodePage936ForEveryCharacterItHas() {
    Reference cp936("CP936", "UTF-8");
    QVERIFY(cp936.ok());
    int compared = 0;
    for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
        if (c >= 0xD800 && c < 0xE000) continue;
        const QString text = QString::fromUcs4(&c, 1);
        const QByteArray expected = cp936.Convert(text.toUtf8());
        if (expected.isEmpty() || c == U'\u20AC') continue;
        ++compared;
        const QByteArray got = EncodeAnsi(text);
        if (got != expected) QFAIL(qPrintable(QStringLiteral("U+%1").arg(uint(c), 4, 16, QChar(u'0'))));
    }
    QVERIFY(compared > 21000);
}

void CodecTest::decodesEveryCodePage936Pair() {
    Reference cp936("UTF-8", "CP936");
    QVERIFY(cp936.ok());
    int compared = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            QByteArray pair;
            pair.append(static_cast<char>(lead)).append(static_cast<char>(trail));
            const QByteArray utf8 = cp936.Convert(pair);
            if (utf8.isEmpty()) continue;
            ++compared;
            if (DecodeAnsi(pair) != QString::fromUtf8(utf8)) QFAIL(pair.toHex().constData());
        }
    }
    QVERIFY(compared > 21000);
}

void CodecTest::readsBothEuroForms() {
    QCOMPARE(DecodeAnsi(QByteArray::fromHex("80a2e380")), QStringLiteral("€€€"));
    QCOMPARE(EncodeAnsi(DecodeAnsi(QByteArray::fromHex("a2e3"))).toHex(), QByteArray("80"));
}

void CodecTest::damagedBytesBecomeReplacementCharacters_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0xFF alone") << QByteArray::fromHex("41ff42") << QStringLiteral("A\uFFFDB");
    // The comma after a lead byte is still a comma, so the field reader still sees it.
    QTest::newRow("lead byte before comma") << QByteArray::fromHex("812c41") << QStringLiteral("\uFFFD,A");
    QTest::newRow("lead byte cut off at end") << QByteArray::fromHex("41d6") << QStringLiteral("A\uFFFD");
    QTest::newRow("four-byte form cut off") << QByteArray::fromHex("8130") << QStringLiteral("\uFFFD0");
    QTest::newRow("only damage") << QByteArray::fromHex("ffff") << QStringLiteral("\uFFFD\uFFFD");
}

void CodecTest::damagedBytesBecomeReplacementCharacters() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeAnsi(bytes), text);
}

void CodecTest::loneSurrogateIsWrittenAsReplacementCharacter() {
    const QString text = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") + QChar(0xDC00);
    QCOMPARE(EncodeAnsi(text).toHex(), QByteArray("61"
                                                  "84 31 a4 37"
                                                  "62"
                                                  "8431a437")
                                           .replace(" ", ""));
}

int qiva::test::RunCodecTest(int argc, char** argv) {
    CodecTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "CodecTest.moc"
