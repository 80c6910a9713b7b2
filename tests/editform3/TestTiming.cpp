// Step three's arithmetic without a window: conversions, list rows and shifts.

#include <QTest>
#include <cfenv>

#include "Suites.h"
#include "wizard/TimingCorrections.h"

namespace qiva::test {

class TestTiming : public QObject {
    Q_OBJECT
private slots:
    void recordedEndTime_data();
    void recordedEndTime();
    void songEndTime_data();
    void songEndTime();
    void songEndTimeIgnoresTheRoundingMode();
    void startSeconds();
    void listRow_data();
    void listRow();
    void shifts_data();
    void shifts();
};

void TestTiming::recordedEndTime_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("expected");  // -1: refused
    QTest::newRow("12.37 s") << 12.37 << 123;
    QTest::newRow("12.3 s") << 12.3 << 123;
    QTest::newRow("0.09 s") << 0.09 << 0;
    QTest::newRow("95.0 s") << 95.0 << 950;
    QTest::newRow("3276.7 s") << 3276.7 << 32767;
    QTest::newRow("3276.79 s still the last tenth") << 3276.79 << 32767;
    QTest::newRow("3276.8 s") << 3276.8 << -1;
    QTest::newRow("an hour") << 3600.0 << -1;
    QTest::newRow("not a number") << std::nan("") << -1;
}

void TestTiming::recordedEndTime() {
    QFETCH(double, seconds);
    QFETCH(int, expected);
    const std::optional<int16_t> t = RecordedEndTime(seconds);
    QCOMPARE(t.has_value(), expected >= 0);
    if (t) QCOMPARE(int(*t), expected);
}

void TestTiming::songEndTime_data() {
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("expected");
    QTest::newRow("245.25 s, half to even below") << 245.25 << 2452;
    QTest::newRow("245.75 s, half to even above") << 245.75 << 2458;
    QTest::newRow("240.1 s") << 240.1 << 2401;
    QTest::newRow("240.16 s rounds up") << 240.16 << 2402;
    QTest::newRow("240.14 s rounds down") << 240.14 << 2401;
    QTest::newRow("3276.74 s") << 3276.74 << 32767;
    QTest::newRow("3276.75 s rounds to 32768") << 3276.75 << -1;
    QTest::newRow("an hour") << 3600.0 << -1;
}

void TestTiming::songEndTime() {
    QFETCH(double, seconds);
    QFETCH(int, expected);
    const std::optional<int16_t> t = SongEndTime(seconds);
    QCOMPARE(t.has_value(), expected >= 0);
    if (t) QCOMPARE(int(*t), expected);
}

void TestTiming::songEndTimeIgnoresTheRoundingMode() {
    const int previous = std::fegetround();
    std::fesetround(FE_UPWARD);
    const std::optional<int16_t> t = SongEndTime(245.25);
    const int during = std::fegetround();
    std::fesetround(previous);
    QCOMPARE(int(t.value_or(0)), 2452);
    QCOMPARE(during, FE_UPWARD);
}

void TestTiming::startSeconds() {
    QCOMPARE(StartSeconds(123), 12);
    QCOMPARE(StartSeconds(457), 45);
    QCOMPARE(StartSeconds(9), 0);
    QCOMPARE(StartSeconds(32767), 3276);
}

void TestTiming::listRow_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("endTime");
    QTest::addColumn<QString>("row");
    // End times are tenths of a second and read as seconds with their one decimal.
    QTest::newRow("recorded") << QStringLiteral("（开始）") << 123
                              << QStringLiteral("（开始）  结束时间: 12.3 秒");
    QTest::newRow("22.0 s") << QStringLiteral("a") << 220 << QStringLiteral("a  结束时间: 22.0 秒");
    QTest::newRow("inner blank stays, zero")
        << QStringLiteral("（长时间停顿 ）") << 0 << QStringLiteral("（长时间停顿 ）  结束时间: 0.0 秒");
    QTest::newRow("trailing blanks go")
        << QStringLiteral("  好日子   ") << 7 << QStringLiteral("  好日子  结束时间: 0.7 秒");
    QTest::newRow("only blanks") << QStringLiteral("   ") << 1 << QStringLiteral("  结束时间: 0.1 秒");
    QTest::newRow("empty") << QString() << 5 << QStringLiteral("  结束时间: 0.5 秒");
    QTest::newRow("negative") << QStringLiteral("a") << -30 << QStringLiteral("a  结束时间: -3.0 秒");
    QTest::newRow("negative below a second")
        << QStringLiteral("a") << -5 << QStringLiteral("a  结束时间: -0.5 秒");
    QTest::newRow("largest") << QStringLiteral("a") << 32767 << QStringLiteral("a  结束时间: 3276.7 秒");
    QTest::newRow("smallest") << QStringLiteral("a") << -32768 << QStringLiteral("a  结束时间: -3276.8 秒");
}

void TestTiming::listRow() {
    QFETCH(QString, text);
    QFETCH(int, endTime);
    QFETCH(QString, row);
    QCOMPARE(ListRowText({text, static_cast<int16_t>(endTime)}), row);
}

void TestTiming::shifts_data() {
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("delta");
    QTest::addColumn<QList<int>>("chosen");  // line numbers; empty list with all = every line
    QTest::addColumn<bool>("all");
    QTest::addColumn<QList<int>>("after");
    QTest::newRow("all earlier") << QList<int>{3, 0, 120} << -5 << QList<int>{} << true
                                 << QList<int>{1, 1, 115};
    QTest::newRow("all later") << QList<int>{0, 120} << 5 << QList<int>{} << true << QList<int>{5, 125};
    QTest::newRow("second later") << QList<int>{0, 100, 200} << 5 << QList<int>{2} << false
                                  << QList<int>{1, 105, 200};
    QTest::newRow("selected earlier lifts the unselected zero")
        << QList<int>{0, 100, 200} << -5 << QList<int>{3} << false << QList<int>{1, 100, 195};
    QTest::newRow("none selected still lifts zeros")
        << QList<int>{0, -7, 50} << 5 << QList<int>{} << false << QList<int>{1, 1, 50};
    QTest::newRow("top of the range stays")
        << QList<int>{32765, 32760} << 5 << QList<int>{} << true << QList<int>{32765, 32765};
    QTest::newRow("bottom of the range stays, then lifted")
        << QList<int>{-32766, -32768} << -5 << QList<int>{} << true << QList<int>{1, 1};
    QTest::newRow("out of order stays out of order")
        << QList<int>{100, 103} << 5 << QList<int>{1} << false << QList<int>{105, 103};
}

void TestTiming::shifts() {
    QFETCH(QList<int>, before);
    QFETCH(int, delta);
    QFETCH(QList<int>, chosen);
    QFETCH(bool, all);
    QFETCH(QList<int>, after);
    std::vector<LyricLine> lines(1);
    for (int t : before) lines.push_back({QStringLiteral("x"), static_cast<int16_t>(t)});
    ShiftEndTimes(lines, static_cast<int>(before.size()), delta,
                  [&](int i) { return all || chosen.contains(i); });
    QList<int> got;
    for (size_t i = 1; i < lines.size(); ++i) got << lines[i].endTime;
    QCOMPARE(got, after);
    QCOMPARE(lines[0].endTime, int16_t{0});
}

int RunTestTiming(int argc, char** argv) {
    TestTiming t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestTiming.moc"
