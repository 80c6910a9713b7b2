// How long step three's waveform of a 5-minute MP3 takes, from the call that starts it to the complete
// waveform on the user-interface thread (the target is 1 s), and how much of that is the decoding alone;
// then what the strip costs the user-interface thread to paint, once for a new view and then for each move
// of the play head. Needs sox and lame. Usage: bench_waveform_bench [runs]

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "platform/MediaPlayerControl.h"
#include "platform/SongDecoder.h"
#include "platform/Waveform.h"
#include "platform/doubles/Doubles.h"
#include "wizard/WaveformStrip.h"

namespace {

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(program, args);
    return p.waitForFinished(600000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Milliseconds from compute() to the complete waveform, with the event loop running as in the window.
double TimeWaveform(const QString& mp3, size_t* peaks) {
    qiva::Waveform w;
    QEventLoop loop;
    QObject::connect(&w, &qiva::Waveform::changed, &loop, [&] {
        if (w.state() != qiva::Waveform::State::Computing) loop.quit();
    });
    QElapsedTimer t;
    t.start();
    w.compute(mp3);
    loop.exec();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (w.state() != qiva::Waveform::State::Complete) std::fprintf(stderr, "waveform not complete\n");
    *peaks = w.peaks().fine.size();
    return ms;
}

// Milliseconds to open the song (its length scanned) and to decode it into peaks, on this thread.
void TimeDecode(const QString& mp3, double* openMs, double* decodeMs) {
    QElapsedTimer t;
    t.start();
    qiva::SongDecoder d;
    d.open(mp3);
    *openMs = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    std::atomic<bool> cancelled{false};
    qiva::ComputePeaks(d, cancelled, [](std::vector<qiva::PeakPair>&&, double) {});
    *decodeMs = double(t.nsecsElapsed()) / 1e6;
}

// Milliseconds to fold five minutes of stereo samples into peaks, without decoding.
double TimeFolding() {
    std::vector<int16_t> samples(size_t(300) * 44100 * 2);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t((i * 7919) % 65536 - 32768);
    std::vector<qiva::PeakPair> peaks;
    QElapsedTimer t;
    t.start();
    qiva::PeakBuilder b(2);
    for (size_t f = 0; f < samples.size() / 2; f += 65536)
        b.add(samples.data() + 2 * f, std::min<size_t>(65536, samples.size() / 2 - f), peaks);
    b.finish(peaks);
    return double(t.nsecsElapsed()) / 1e6;
}

// Milliseconds to paint the strip of step three's size over the whole song: the first paint of a view, and
// a repaint after the play head moved (the strokes kept).
void TimePaint(const QString& mp3, double* firstMs, double* againMs) {
    qiva::test::FakePlayerFactory players;
    players.anyPathDuration = 300.0;
    qiva::MediaPlayerControl player(players.create(false));
    player.setFileName(mp3);
    qiva::Waveform w;
    QEventLoop loop;
    QObject::connect(&w, &qiva::Waveform::changed, &loop, [&] {
        if (w.state() != qiva::Waveform::State::Computing) loop.quit();
    });
    w.compute(mp3);
    loop.exec();
    std::vector<int16_t> ends{0};
    for (int i = 1; i <= 60; ++i) ends.push_back(int16_t(i * 50));
    qiva::WaveformStrip strip(
        w, player,
        {[&] { return ends; }, [](int i) { return i % 7 == 0; }, [] { return false; }, [] { return true; }});
    strip.resize(511, 80);
    QImage image(strip.size(), QImage::Format_RGB32);
    std::vector<double> first, again;
    for (int i = 0; i < 50; ++i) {
        strip.zoom(i % 2 ? 1.01 : 1 / 1.01, 150.0);  // a new view: strokes made anew
        QElapsedTimer t;
        t.start();
        strip.render(&image);
        first.push_back(double(t.nsecsElapsed()) / 1e6);
        t.restart();
        strip.render(&image);
        again.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    *firstMs = Median(first);
    *againMs = Median(again);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    QTemporaryDir dir;
    const QString wav = dir.filePath("song.wav");
    struct Song {
        const char* name;
        QStringList lame;  // also the file's name
    };
    const std::vector<Song> songs{{"VBR -V 2", {"-V", "2"}}, {"CBR 320 kbit/s", {"-b", "320"}}};
    if (!Run("sox", {"-n", "-r", "44100", "-c", "2", wav, "synth", "300", "pinknoise", "sine", "220-880",
                     "vol", "0.3"}))
        return 1;
    std::printf("waveform of a 5-minute 44.1 kHz stereo MP3, median of %d runs\n", runs);
    std::printf("%-16s %12s %12s %12s %8s\n", "song", "total ms", "open ms", "decode ms", "peaks");
    for (const Song& song : songs) {
        const QString mp3 = dir.filePath(song.lame.join(QString()) + ".mp3");
        if (!Run("lame", QStringList{"--quiet"} + song.lame + QStringList{wav, mp3})) return 1;
        std::vector<double> total, open, decode;
        size_t peaks = 0;
        for (int i = 0; i < runs; ++i) {
            total.push_back(TimeWaveform(mp3, &peaks));
            double o = 0, d = 0;
            TimeDecode(mp3, &o, &d);
            open.push_back(o);
            decode.push_back(d);
        }
        std::printf("%-16s %12.1f %12.1f %12.1f %8zu\n", song.name, Median(total), Median(open),
                    Median(decode), peaks);
    }
    std::vector<double> folding;
    for (int i = 0; i < runs; ++i) folding.push_back(TimeFolding());
    std::printf("of which folding 5 minutes of samples into peaks: %.1f ms\n", Median(folding));
    double first = 0, again = 0;
    TimePaint(dir.filePath(songs.front().lame.join(QString()) + ".mp3"), &first, &again);
    std::printf(
        "painting the strip (511 x 80 px, whole song, 60 markers): %.2f ms for a new view, %.2f ms after "
        "a move of the play head\n",
        first, again);
    return 0;
}
