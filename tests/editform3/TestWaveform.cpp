// Step three's waveform: its peaks against a straight decode of real MP3s made at test time, the rule of
// dragging a line's end, and the strip in the window (seeking, dragging, zooming, following the song).

#include <QProcess>
#include <QTest>
#include <QWheelEvent>
#include <random>

#include "Fixture.h"
#include "Suites.h"
#include "platform/AudioDecoder.h"
#include "platform/Layout.h"
#include "platform/Waveform.h"
#include "wizard/WaveformStrip.h"

namespace qiva::test {

namespace {
// An MP3 made by sox (`sox` are its output format and then its "synth" effect) and lame.
QString MakeSong(const QTemporaryDir& dir, const QString& name, QStringList sox, const QStringList& lame) {
    const QString wav = dir.filePath(name + ".wav"), mp3 = dir.filePath(name + ".mp3");
    sox.insert(sox.indexOf("synth"), wav);
    if (QProcess::execute("sox", QStringList{"-n"} + sox) != 0) return QString();
    return QProcess::execute("lame", lame + QStringList{wav, mp3}) == 0 ? mp3 : QString();
}

// The peaks computed here, from every frame decoded in one go.
std::vector<PeakPair> DirectPeaks(const QString& mp3) {
    Mp3Decoder d;
    d.open(mp3);
    const auto channels = size_t(d.channels());
    std::vector<int16_t> all(size_t(d.lengthFrames()) * channels);
    size_t frames = 0;
    while (size_t n = d.read(all.data() + frames * channels, size_t(d.lengthFrames()) - frames)) frames += n;
    std::vector<PeakPair> out;
    for (size_t first = 0; first < frames; first += WaveformPeaks::kFineFrames) {
        const size_t last = std::min(frames, first + WaveformPeaks::kFineFrames);
        const auto [lo, hi] =
            std::minmax_element(all.begin() + long(first * channels), all.begin() + long(last * channels));
        out.push_back({*lo, *hi});
    }
    return out;
}

// A mono ramp of 10 s at 8 kHz that gives out after 4 s, as a damaged file does; it hands out at most 1000
// frames a read, so that peaks straddle the reads.
class GivingOutDecoder : public AudioDecoder {
public:
    void open(const QString&) override {}
    void close() override {}
    bool isOpen() const override { return true; }
    int rate() const override { return 8000; }
    int channels() const override { return 1; }
    int64_t lengthFrames() const override { return 80000; }
    void seek(int64_t frame) override { next_ = frame; }
    int64_t tell() const override { return next_; }
    size_t read(int16_t* out, size_t maxFrames) override {
        const auto n =
            size_t(std::clamp<int64_t>(32000 - next_, 0, std::min<int64_t>(1000, int64_t(maxFrames))));
        for (size_t i = 0; i < n; ++i) out[i] = int16_t((next_++) % 1000 - 500);
        return n;
    }

private:
    int64_t next_ = 0;
};

const Waveform& WaveformOf(const Step3& s) { return s.form->Waveform1->waveform(); }

void WaitUntilDone(const Waveform& w) {
    QTRY_VERIFY_WITH_TIMEOUT(w.state() != Waveform::State::Computing, 20000);
}

// The window paused after recording began, its list enabled, with the given end times.
void PausedWithTimes(Step3& s, const std::vector<int>& times) {
    s.open();
    s.form->Command2_Click();
    s.form->Command3_Click();
    s.setTimes(times);
}

QPoint At(const WaveformStrip& strip, double seconds) {
    return QPoint(int(std::lround(strip.xAt(seconds))), strip.height() / 2);
}

void Wheel(QWidget* w, int notches) {
    const QPointF at(w->width() / 2.0, w->height() / 2.0);
    QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                  Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}
}  // namespace

class TestWaveform : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void peaksMatchAStraightDecode_data();
    void peaksMatchAStraightDecode();
    void spansAgreeWithTheFinePeaks();
    void aSongThatGivesOutShowsWhatWasDecoded();
    void anotherSongReplacesTheWorkForTheFirst();
    void dragBounds_data();
    void dragBounds();
    void theWindowComputesItsSong();
    void clickSeeksUnlessRecording();
    void draggingAMarkerChangesTheLineAndItsRow();
    void wheelZoomsBetweenTheSongAndTwoSeconds();
    void viewFollowsThePlayHead();

private:
    QTemporaryDir dir_;
    QString stereo_, mono_;
};

void TestWaveform::initTestCase() {
    stereo_ = MakeSong(dir_, "stereo",
                       {"-r", "44100", "-c", "2", "synth", "6", "sine", "200-2000", "tremolo", "3", "90"},
                       {"--quiet", "-b", "128"});
    mono_ = MakeSong(dir_, "mono", {"-r", "22050", "-c", "1", "synth", "4", "square", "300", "vol", "0.5"},
                     {"--quiet", "-m", "m", "-V", "4"});
    QVERIFY2(!stereo_.isEmpty() && !mono_.isEmpty(), "sox and lame make the test songs");
}

void TestWaveform::peaksMatchAStraightDecode_data() {
    QTest::addColumn<QString>("song");
    QTest::newRow("stereo 44.1 kHz CBR") << stereo_;
    QTest::newRow("mono 22.05 kHz VBR") << mono_;
}

void TestWaveform::peaksMatchAStraightDecode() {
    QFETCH(QString, song);
    Waveform w;
    w.compute(song);
    WaitUntilDone(w);
    QCOMPARE(w.state(), Waveform::State::Complete);
    QCOMPARE(w.progress(), 1.0);
    const std::vector<PeakPair> direct = DirectPeaks(song);
    QCOMPARE(w.peaks().fine.size(), direct.size());
    QVERIFY(w.peaks().fine == direct);
    QVERIFY(w.peaks().span(0, direct.size())->max > 8000);  // not silence, which would prove nothing
}

void TestWaveform::spansAgreeWithTheFinePeaks() {
    WaveformPeaks peaks;
    peaks.rate = 44100;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(0, 32767);
    std::vector<PeakPair> fine(1000);
    for (PeakPair& p : fine) p = {int16_t(-sample(random)), int16_t(sample(random))};
    peaks.append(fine.data(), 300);  // in two parts, the first ending inside a coarse peak
    peaks.append(fine.data() + 300, fine.size() - 300);
    std::uniform_int_distribution<size_t> at(0, fine.size());
    for (int i = 0; i < 500; ++i) {
        const size_t a = at(random), b = at(random), first = std::min(a, b), last = std::max(a, b);
        PeakPair want{32767, -32768};
        for (size_t k = first; k < last; ++k)
            want = {std::min(want.min, fine[k].min), std::max(want.max, fine[k].max)};
        const std::optional<PeakPair> got = peaks.span(first, last);
        QVERIFY2(first == last ? !got : got && *got == want,
                 qPrintable(QString("[%1, %2)").arg(first).arg(last)));
    }
    QVERIFY(peaks.span(990, 2000).has_value() && !peaks.span(1000, 2000));
}

void TestWaveform::aSongThatGivesOutShowsWhatWasDecoded() {
    GivingOutDecoder d;
    std::atomic<bool> cancelled{false};
    std::vector<PeakPair> got;
    double done = 0;
    const bool whole = ComputePeaks(d, cancelled, [&](std::vector<PeakPair>&& block, double fraction) {
        got.insert(got.end(), block.begin(), block.end());
        done = fraction;
    });
    QVERIFY(!whole);
    QCOMPARE(done, 0.4);
    std::vector<PeakPair> want;
    for (int first = 0; first < 32000; first += WaveformPeaks::kFineFrames) {
        PeakPair p{32767, -32768};
        for (int i = first; i < first + WaveformPeaks::kFineFrames; ++i)
            p = {std::min<int16_t>(p.min, int16_t(i % 1000 - 500)),
                 std::max<int16_t>(p.max, int16_t(i % 1000 - 500))};
        want.push_back(p);
    }
    QVERIFY(got == want);
}

void TestWaveform::anotherSongReplacesTheWorkForTheFirst() {
    Waveform w;
    w.compute(stereo_);
    w.compute(mono_);
    WaitUntilDone(w);
    QCOMPARE(w.state(), Waveform::State::Complete);
    QCOMPARE(w.peaks().rate, 22050);
    QTest::qWait(200);  // nothing of the first song arrives later
    QVERIFY(w.peaks().fine == DirectPeaks(mono_));
}

void TestWaveform::dragBounds_data() {
    QTest::addColumn<std::vector<int>>("ends");  // lines 1..n
    QTest::addColumn<int>("line");
    QTest::addColumn<int>("proposed");
    QTest::addColumn<int>("expected");
    const std::vector<int> ordered{100, 200, 300};
    QTest::newRow("between its neighbours") << ordered << 2 << 250 << 250;
    QTest::newRow("not before the line above") << ordered << 2 << 50 << 100;
    QTest::newRow("not after the line below") << ordered << 2 << 350 << 300;
    QTest::newRow("onto the line above") << ordered << 2 << 100 << 100;
    QTest::newRow("first line, floor 1") << ordered << 1 << -20 << 1;
    QTest::newRow("last line, up to the song's end") << ordered << 3 << 550 << 550;
    QTest::newRow("last line, not past it") << ordered << 3 << 9000 << 600;
    QTest::newRow("unrecorded line above is passed over") << std::vector<int>{100, 0, 300} << 3 << 50 << 100;
    QTest::newRow("unrecorded line below is passed over") << std::vector<int>{100, 0, 300} << 1 << 400 << 300;
    QTest::newRow("nothing recorded around") << std::vector<int>{0, 150, 0} << 2 << 590 << 590;
    QTest::newRow("neighbours out of order: kept") << std::vector<int>{300, 250, 200} << 2 << 260 << 250;
    QTest::newRow("line out of order: brought back") << std::vector<int>{100, 400, 300} << 2 << 390 << 300;
}

void TestWaveform::dragBounds() {
    QFETCH(std::vector<int>, ends);
    QFETCH(int, line);
    QFETCH(int, proposed);
    QFETCH(int, expected);
    std::vector<int16_t> table{0};
    for (int e : ends) table.push_back(int16_t(e));
    QCOMPARE(int(DraggedEndTime(table, line, proposed, 600)), expected);
}

void TestWaveform::theWindowComputesItsSong() {
    Step3 s(Lines(3));
    s.m.lyricSongPath = stereo_;
    s.ts.players.songs.insert(stereo_, 6.0);
    s.open();
    const QRect strip = s.form->Waveform1->geometry();
    QCOMPARE(s.form->height(), TwipsToPixels(8625 + kWaveformStripHeightTwips));
    QVERIFY(strip.top() > s.form->Command1->geometry().bottom() && strip.bottom() < s.form->height());
    QVERIFY(s.form->Waveform1->focusPolicy() == Qt::NoFocus);  // the space bar stays with the record button
    WaitUntilDone(WaveformOf(s));
    QCOMPARE(WaveformOf(s).state(), Waveform::State::Complete);
    QVERIFY(WaveformOf(s).peaks().fine == DirectPeaks(stereo_));
    QVERIFY(s.form->Waveform1->statusText().isEmpty());
    // An imported file names another song, which cannot be read: the strip says so.
    const QString lyrics = s.path("other.txt");
    s.m.lyricSongPath = dir_.filePath("missing.mp3");
    s.m.WriteLyricsFile(lyrics);
    s.ts.dialogs.answers.push_back(lyrics);
    s.form->Command5_Click();
    WaitUntilDone(WaveformOf(s));
    QCOMPARE(s.form->Waveform1->statusText(), QStringLiteral("无法读取歌曲的波形"));
    QVERIFY(WaveformOf(s).peaks().fine.empty());
}

void TestWaveform::clickSeeksUnlessRecording() {
    Step3 s(Lines(5), 60.0);
    s.open();
    WaveformStrip& strip = *s.form->Waveform1;
    // Before recording: a click moves the song there.
    QTest::mouseClick(&strip, Qt::LeftButton, {}, At(strip, 30.0));
    QVERIFY(std::abs(s.player().CurrentPosition() - 30.0) < 0.2);
    QCOMPARE(strip.playHead(), s.player().CurrentPosition());
    s.form->Command2_Click();
    const int calls = int(s.player().calls.size());
    QTest::mouseClick(&strip, Qt::LeftButton, {}, At(strip, 10.0));
    QCOMPARE(int(s.player().calls.size()), calls);
    s.form->Command3_Click();
    QTest::mouseClick(&strip, Qt::LeftButton, {}, At(strip, 10.0));
    QVERIFY(std::abs(s.player().CurrentPosition() - 10.0) < 0.2);
}

void TestWaveform::draggingAMarkerChangesTheLineAndItsRow() {
    Step3 s(Lines(5), 60.0);
    PausedWithTimes(s, {100, 200, 300, 400, 500});
    WaveformStrip& strip = *s.form->Waveform1;
    strip.zoom(4.0 / 60.0, 20.0);  // 4 s across: a pixel is under a tenth of a second
    QTest::mousePress(&strip, Qt::LeftButton, {}, At(strip, 20.0));
    QTest::mouseMove(&strip, At(strip, 21.3));
    QCOMPARE(s.t(2), 213);
    QCOMPARE(s.rows().at(1), QStringLiteral("第2句  结束时间: 21.3 秒"));
    QTest::mouseMove(&strip, At(strip, 19.0));
    QCOMPARE(s.t(2), 190);
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, At(strip, 19.0));
    // The neighbours bound the drag, and the song is not moved by it.
    strip.zoom(15.0, 20.0);
    QTest::mousePress(&strip, Qt::LeftButton, {}, At(strip, 19.0));
    QTest::mouseMove(&strip, At(strip, 45.0));
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, At(strip, 45.0));
    QCOMPARE(s.times(), (QList<int>{100, 300, 300, 400, 500}));
    QVERIFY(!s.player().calls.join(u' ').contains(QStringLiteral("Seek")));
    // Recording again, the list disabled: the markers stay put.
    s.form->Command2->setEnabled(true);
    s.form->Command2_Click();
    QTest::mousePress(&strip, Qt::LeftButton, {}, At(strip, 30.0));
    QTest::mouseMove(&strip, At(strip, 35.0));
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, At(strip, 35.0));
    QCOMPARE(s.t(3), 300);
}

void TestWaveform::wheelZoomsBetweenTheSongAndTwoSeconds() {
    Step3 s(Lines(3), 60.0);
    s.open();
    WaveformStrip& strip = *s.form->Waveform1;
    strip.followPlayHead();
    QCOMPARE(strip.viewSpan(), 60.0);
    Wheel(&strip, 1);
    QVERIFY(strip.viewSpan() < 60.0);
    Wheel(&strip, 40);
    QCOMPARE(strip.viewSpan(), WaveformStrip::kNarrowestSpan);
    QVERIFY(strip.viewStart() > 25.0 && strip.viewStart() < 30.0);  // around the middle, where the wheel was
    Wheel(&strip, -40);
    QCOMPARE(strip.viewSpan(), 60.0);
    QCOMPARE(strip.viewStart(), 0.0);
}

void TestWaveform::viewFollowsThePlayHead() {
    Step3 s(Lines(3), 60.0);
    s.open();
    WaveformStrip& strip = *s.form->Waveform1;
    strip.zoom(10.0 / 60.0, 0.0);
    s.form->Command2_Click();
    s.player().advance(8.0);
    strip.followPlayHead();
    QCOMPARE(strip.viewStart(), 0.0);  // still in sight
    s.player().advance(2.0);
    strip.followPlayHead();
    QCOMPARE(strip.viewStart(), 9.0);  // the head back at a tenth of the width
    QCOMPARE(strip.viewSpan(), 10.0);
    // Paused, the user looks where they like.
    s.form->Command3_Click();
    const double start = strip.viewStart();
    s.player().setCurrentPosition(55.0);
    strip.followPlayHead();
    QCOMPARE(strip.viewStart(), start);
}

int RunTestWaveform(int argc, char** argv) {
    TestWaveform t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestWaveform.moc"
