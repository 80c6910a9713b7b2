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
bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// An MP3 made by sox and lame: `synth` are sox's synth arguments after the length.
QString MakeSong(const QTemporaryDir& dir, const QString& name, const QStringList& format, int seconds,
                 const QStringList& synth, const QStringList& lame) {
    const QString wav = dir.filePath(name + ".wav");
    const QString mp3 = dir.filePath(name + ".mp3");
    const bool ok = Run("sox", QStringList{"-n"} + format +
                                   QStringList{wav, "synth", QString::number(seconds)} + synth) &&
                    Run("lame", QStringList{"--quiet"} + lame + QStringList{wav, mp3});
    return ok ? mp3 : QString();
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

// Hands out a fixed signal and then gives out, as a damaged file does, before its announced length.
class GivingOutDecoder : public AudioDecoder {
public:
    GivingOutDecoder(int64_t announced, int64_t readable) : announced_(announced), readable_(readable) {}
    void open(const QString&) override {}
    void close() override {}
    bool isOpen() const override { return true; }
    int rate() const override { return 8000; }
    int channels() const override { return 1; }
    int64_t lengthFrames() const override { return announced_; }
    void seek(int64_t frame) override { next_ = frame; }
    int64_t tell() const override { return next_; }
    size_t read(int16_t* out, size_t maxFrames) override {
        const auto n = size_t(std::clamp<int64_t>(readable_ - next_, 0, int64_t(maxFrames)));
        for (size_t i = 0; i < n; ++i) out[i] = int16_t((next_ + int64_t(i)) % 1000 - 500);
        next_ += int64_t(n);
        return n;
    }

private:
    int64_t announced_, readable_, next_ = 0;
};

const Waveform& WaveformOf(const Step3& s) { return s.form->Waveform1->waveform(); }

void WaitUntilDone(const Waveform& w) {
    QTRY_VERIFY_WITH_TIMEOUT(w.state() != Waveform::State::Computing, 20000);
}

// Five lines ending 10, 20, 30, 40 and 50 s into a 60 s song, the window paused with its list enabled.
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
    void blocksOfAnySizeGiveTheSamePeaks();
    void aSongThatGivesOutShowsWhatWasDecoded();
    void anotherSongReplacesTheWorkForTheFirst();
    void dragBounds_data();
    void dragBounds();
    void stripSitsBelowTheDesignedControls();
    void theWindowComputesItsSong();
    void clickSeeksUnlessRecording();
    void draggingAMarkerChangesTheLineAndItsRow();
    void markersStayPutWhileTheListIsDisabled();
    void wheelZoomsBetweenTheSongAndTwoSeconds();
    void viewFollowsThePlayHead();

private:
    QTemporaryDir dir_;
    QString stereo_, mono_;
};

void TestWaveform::initTestCase() {
    stereo_ = MakeSong(dir_, "stereo", {"-r", "44100", "-c", "2"}, 6,
                       {"sine", "200-2000", "tremolo", "3", "90"}, {"-b", "128"});
    mono_ = MakeSong(dir_, "mono", {"-r", "22050", "-c", "1"}, 4, {"square", "300", "vol", "0.5"},
                     {"-m", "m", "-V", "4"});
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
    QVERIFY(direct.size() > 100);
    QCOMPARE(w.peaks().fine.size(), direct.size());
    QVERIFY(w.peaks().fine == direct);
    // Not a silent file: the test would prove nothing.
    QVERIFY(w.peaks().span(0, direct.size())->max > 8000);
}

void TestWaveform::spansAgreeWithTheFinePeaks() {
    WaveformPeaks peaks;
    peaks.rate = 44100;
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::vector<PeakPair> fine(1000);
    for (PeakPair& p : fine) {
        const auto a = int16_t(sample(random)), b = int16_t(sample(random));
        p = {std::min(a, b), std::max(a, b)};
    }
    peaks.append(fine.data(), 300);  // in two parts, the first ending inside a coarse peak
    peaks.append(fine.data() + 300, fine.size() - 300);
    QCOMPARE(peaks.coarse.size(), size_t{16});
    std::uniform_int_distribution<size_t> at(0, fine.size());
    for (int i = 0; i < 500; ++i) {
        size_t first = at(random), last = at(random);
        if (first > last) std::swap(first, last);
        const std::optional<PeakPair> got = peaks.span(first, last);
        if (first == last) {
            QVERIFY(!got);
            continue;
        }
        PeakPair want{32767, -32768};
        for (size_t k = first; k < last; ++k)
            want = {std::min(want.min, fine[k].min), std::max(want.max, fine[k].max)};
        QVERIFY2(got && *got == want, qPrintable(QStringLiteral("[%1, %2)").arg(first).arg(last)));
    }
    QVERIFY(peaks.span(990, 2000).has_value());
    QVERIFY(!peaks.span(1000, 2000));
}

void TestWaveform::blocksOfAnySizeGiveTheSamePeaks() {
    std::vector<int16_t> samples(2 * 1000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t((i * 7919) % 2001 - 1000);
    std::vector<PeakPair> whole;
    PeakBuilder one(2);
    one.add(samples.data(), 1000, whole);
    one.finish(whole);
    QCOMPARE(whole.size(), size_t{8});  // seven whole peaks and the last 104 frames
    for (size_t block : {size_t{1}, size_t{127}, size_t{300}}) {
        std::vector<PeakPair> pieces;
        PeakBuilder b(2);
        for (size_t f = 0; f < 1000; f += block)
            b.add(samples.data() + 2 * f, std::min(block, 1000 - f), pieces);
        b.finish(pieces);
        QVERIFY2(pieces == whole, qPrintable(QString::number(block)));
    }
}

void TestWaveform::aSongThatGivesOutShowsWhatWasDecoded() {
    GivingOutDecoder d(8000 * 10, 8000 * 4);
    std::atomic<bool> cancelled{false};
    std::vector<PeakPair> got;
    double done = 0;
    const bool whole = ComputePeaks(d, cancelled, [&](std::vector<PeakPair>&& block, double fraction) {
        got.insert(got.end(), block.begin(), block.end());
        done = fraction;
    });
    QVERIFY(!whole);
    QCOMPARE(got.size(), size_t{8000 * 4 / WaveformPeaks::kFineFrames});
    QCOMPARE(done, 0.4);
    QCOMPARE(got.front(), (PeakPair{-500, -373}));
    // A cancelled computation stops at once and reports nothing more.
    cancelled = true;
    got.clear();
    QVERIFY(!ComputePeaks(d, cancelled, [&](std::vector<PeakPair>&& block, double) {
        got.insert(got.end(), block.begin(), block.end());
    }));
    QVERIFY(got.empty());
}

void TestWaveform::anotherSongReplacesTheWorkForTheFirst() {
    Waveform w;
    w.compute(stereo_);
    w.compute(mono_);
    WaitUntilDone(w);
    QCOMPARE(w.state(), Waveform::State::Complete);
    QCOMPARE(w.peaks().rate, 22050);
    QVERIFY(w.peaks().fine == DirectPeaks(mono_));
    // Nothing of the first song arrives later.
    QTest::qWait(200);
    QCOMPARE(w.peaks().fine.size(), DirectPeaks(mono_).size());
    w.compute(dir_.filePath("missing.mp3"));
    WaitUntilDone(w);
    QCOMPARE(w.state(), Waveform::State::Failed);
    QVERIFY(w.peaks().fine.empty());
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
    QTest::newRow("last line, up to the song's end") << ordered << 3 << 700 << 600;
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

void TestWaveform::stripSitsBelowTheDesignedControls() {
    Step3 s(Lines(3));
    s.open();
    const QRect strip = s.form->Waveform1->geometry();
    QCOMPARE(s.form->height(), TwipsToPixels(8625 + kWaveformStripHeightTwips));
    QCOMPARE(strip.height(), TwipsToPixels(kWaveformStripHeightTwips));
    QVERIFY(strip.top() > s.form->Command1->geometry().bottom());
    QVERIFY(strip.top() > s.form->Command5->geometry().bottom());
    QVERIFY(strip.bottom() < s.form->height());
    QVERIFY(s.form->Waveform1->focusPolicy() == Qt::NoFocus);  // the space bar stays with the record button
}

void TestWaveform::theWindowComputesItsSong() {
    Step3 s(Lines(3));
    s.m.lyricSongPath = stereo_;
    s.ts.players.songs.insert(stereo_, 6.0);
    s.open();
    WaitUntilDone(WaveformOf(s));
    QCOMPARE(WaveformOf(s).state(), Waveform::State::Complete);
    QVERIFY(WaveformOf(s).peaks().fine == DirectPeaks(stereo_));
    QVERIFY(s.form->Waveform1->statusText().isEmpty());
    // A song that cannot be read says so in the strip.
    Step3 other(Lines(3));
    other.m.lyricSongPath = dir_.filePath("missing.mp3");
    other.open();
    WaitUntilDone(WaveformOf(other));
    QCOMPARE(other.form->Waveform1->statusText(), QStringLiteral("无法读取歌曲的波形"));
}

void TestWaveform::clickSeeksUnlessRecording() {
    Step3 s(Lines(5), 60.0);
    s.open();
    WaveformStrip& strip = *s.form->Waveform1;
    // Before recording: a click moves the song there.
    QTest::mouseClick(&strip, Qt::LeftButton, {}, At(strip, 30.0));
    QVERIFY(std::abs(s.player().CurrentPosition() - 30.0) < 0.2);
    QVERIFY(std::abs(strip.playHead() - s.player().CurrentPosition()) < 1e-9);
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
}

void TestWaveform::markersStayPutWhileTheListIsDisabled() {
    Step3 s(Lines(5), 60.0);
    PausedWithTimes(s, {100, 200, 300, 400, 500});
    s.form->Command2->setEnabled(true);
    s.form->Command2_Click();  // recording again: the list is disabled
    WaveformStrip& strip = *s.form->Waveform1;
    QTest::mousePress(&strip, Qt::LeftButton, {}, At(strip, 20.0));
    QTest::mouseMove(&strip, At(strip, 25.0));
    QTest::mouseRelease(&strip, Qt::LeftButton, {}, At(strip, 25.0));
    QCOMPARE(s.t(2), 200);
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
    QCOMPARE(strip.viewStart(), 0.0);
    s.form->Command2_Click();
    s.player().advance(8.0);
    strip.followPlayHead();
    QCOMPARE(strip.viewStart(), 0.0);  // still in sight
    s.player().advance(2.0);
    strip.followPlayHead();
    QVERIFY(strip.viewStart() <= 10.0 && strip.viewStart() + strip.viewSpan() > 10.0);
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
