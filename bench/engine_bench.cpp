// Figures of the audio engine, side by side with mpg123 on the same files and the same sound server:
//   open     time to open a 5-minute VBR file (FileName returns with the exact length), and a FLAC and an
//            Opus file of the same music
//   seek     error of a seek: where decoding resumes against a straight decode, and the position reported;
//            on the MP3, FLAC and Opus files of the same clicks
//   position reported position against the position heard through a PulseAudio null sink (recorded), on
//            the MP3, FLAC and Opus files
//   cpu      CPU time per second of audio while playing through PulseAudio, ours and `mpg123 -o pulse`,
//            and the decoding cost alone (ours and `mpg123 -t`)
//   speed    slowed playback (75 and 50 %, the pitch kept) beside 100 %: the heard-position error and the
//            CPU per second of audio heard
// Needs sox, lame, flac and opusenc; the PulseAudio figures need a server (scripts/start-pulse.sh starts
// one). Usage: bench_engine_bench [--quick] [--speed]   (--speed: the slowed-playback figures alone)

#include <pulse/pulseaudio.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "platform/AudioDecoder.h"
#include "platform/EnginePlayer.h"
#include "platform/SongDecoder.h"

namespace {

using qiva::EnginePlayer;
using qiva::Mp3Decoder;
using qiva::SongDecoder;
using Clock = std::chrono::steady_clock;

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool Run(const QString& program, const QStringList& args, int timeoutMs = 600000) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(timeoutMs) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// CPU time (user and system) that a child process used.
double ChildCpu(const QString& program, const QStringList& args, bool* ok) {
    const double before = CpuSeconds(RUSAGE_CHILDREN);
    *ok = Run(program, args);
    return CpuSeconds(RUSAGE_CHILDREN) - before;
}

constexpr int kClickEvery = 44100;  // one click a second, a little after each whole second
constexpr int kClickOffset = 1234;

// Makes the bench's songs: 60 s of faint noise with clicks, and 5 minutes of music-like noise.
bool MakeSongs(const QTemporaryDir& dir) {
    const QString clicks = dir.filePath("clicks.wav");
    const int seconds = 60;
    std::vector<int16_t> pcm(size_t(seconds) * 44100 * 2, 0);
    std::mt19937 random(1);
    std::normal_distribution<double> noise(0, 30);
    for (int16_t& s : pcm) s = int16_t(noise(random));
    for (int i = 0; i < seconds; ++i)
        for (int c = 0; c < 2; ++c) pcm[size_t((i * kClickEvery + kClickOffset) * 2 + c)] = 20000;
    QByteArray raw(reinterpret_cast<const char*>(pcm.data()), qsizetype(pcm.size() * 2));
    QFile f(dir.filePath("clicks.raw"));
    if (!f.open(QIODevice::WriteOnly) || f.write(raw) != raw.size()) return false;
    f.close();
    return Run("sox",
               {"-t", "raw", "-r", "44100", "-e", "signed", "-b", "16", "-c", "2", f.fileName(), clicks}) &&
           Run("lame", {"--quiet", "-V", "2", clicks, dir.filePath("clicks.mp3")}) &&
           Run("sox", {"-n", "-r", "44100", "-c", "2", dir.filePath("song.wav"), "synth", "300", "pinknoise",
                       "sine", "220-880", "vol", "0.3"}) &&
           Run("lame", {"--quiet", "-V", "2", dir.filePath("song.wav"), dir.filePath("song.mp3")}) &&
           Run("flac", {"-s", clicks, "-o", dir.filePath("clicks.flac")}) &&
           Run("opusenc", {"--quiet", clicks, dir.filePath("clicks.opus")}) &&
           // The encoders take 16 bits, a CD's own.
           Run("sox", {dir.filePath("song.wav"), "-b", "16", dir.filePath("song16.wav")}) &&
           Run("flac", {"-s", dir.filePath("song16.wav"), "-o", dir.filePath("song.flac")}) &&
           Run("opusenc", {"--quiet", dir.filePath("song16.wav"), dir.filePath("song.opus")});
}

std::vector<int16_t> DecodeAll(const QString& path) {
    SongDecoder d;
    d.open(path);
    std::vector<int16_t> all(size_t(d.lengthFrames() * d.channels()));
    size_t at = 0;
    while (size_t n = d.read(all.data() + at, (all.size() - at) / 2)) at += n * 2;
    return all;
}

int64_t Peak(const std::vector<int16_t>& s, int64_t from, int64_t to) {
    from = std::max<int64_t>(from, 0);
    to = std::min<int64_t>(to, int64_t(s.size() / 2));
    int64_t best = from;
    for (int64_t i = from; i < to; ++i)
        if (std::abs(s[size_t(i * 2)]) > std::abs(s[size_t(best * 2)])) best = i;
    return best;
}

void OpenTime(const QString& song, const char* what) {
    std::vector<double> ms, cpu;
    for (int i = 0; i < 10; ++i) {
        EnginePlayer p(false, EnginePlayer::Output::Null);
        const double t = Now();
        const double c = CpuSeconds(RUSAGE_THREAD);
        p.setFileName(song);
        cpu.push_back((CpuSeconds(RUSAGE_THREAD) - c) * 1000);
        ms.push_back((Now() - t) * 1000);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    // On a busy machine the wall time includes waiting for a core; the CPU time is the engine's own cost.
    std::printf("open    5-minute %s file: median %.1f ms (CPU %.1f ms), worst %.1f ms (target < 30 ms)\n",
                what, ms[ms.size() / 2], cpu[cpu.size() / 2], ms.back());
}

void SeekError(const QString& clicks, const char* what) {
    const std::vector<int16_t> all = DecodeAll(clicks);
    SongDecoder d;
    d.open(clicks);
    const int rate = d.rate();
    std::mt19937 random(2);
    std::uniform_int_distribution<int64_t> at(0, d.lengthFrames() - 3 * rate);
    int64_t worstFrames = 0;
    std::vector<int16_t> got(size_t(rate) * 2);
    for (int i = 0; i < 200; ++i) {
        const int64_t target = at(random);
        d.seek(target);
        const size_t n = d.read(got.data(), size_t(rate));
        const int64_t straight = Peak(all, target, target + rate);
        int64_t afterSeek = target;
        for (size_t k = 0; k < n; ++k)
            if (std::abs(got[k * 2]) > std::abs(got[size_t(afterSeek - target) * 2]))
                afterSeek = target + int64_t(k);
        worstFrames = std::max(worstFrames, std::abs(afterSeek - straight));
    }
    double worstReported = 0;
    EnginePlayer p(false, EnginePlayer::Output::Null);
    p.setFileName(clicks);
    p.Play();
    p.Pause();  // paused, so that the clock does not move between setting and reading
    for (int i = 0; i < 50; ++i) {
        const double target = double(at(random)) / rate;
        p.setCurrentPosition(target);
        worstReported = std::max(worstReported, std::abs(p.CurrentPosition() - target));
    }
    std::printf(
        "seek    %s, 200 decoder seeks: worst %.3f ms off the straight decode; 50 player seeks: position "
        "worst %.3f ms off the target (target < 1 ms)\n",
        what, double(worstFrames) * 1000 / rate, worstReported * 1000);
}

// Records the default source (the null sink's monitor) and times every fragment's arrival; the earliest
// arrival relative to the frames counted is the best estimate of when each frame was played.
class Recorder {
public:
    bool start(const char* device) {
        loop_ = pa_threaded_mainloop_new();
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "engine bench");
        pa_context_set_state_callback(
            context_, [](pa_context*, void* l) { Signal(l); }, loop_);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) return false;
        pa_threaded_mainloop_lock(loop_);
        pa_threaded_mainloop_start(loop_);
        while (pa_context_get_state(context_) != PA_CONTEXT_READY &&
               PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))
            pa_threaded_mainloop_wait(loop_);
        bool ok = pa_context_get_state(context_) == PA_CONTEXT_READY;
        if (ok) {
            const pa_sample_spec spec{PA_SAMPLE_S16NE, kRate, 1};
            stream_ = pa_stream_new(context_, "record", &spec, nullptr);
            pa_stream_set_read_callback(stream_, &Recorder::onRead, this);
            pa_buffer_attr attr{};
            attr.maxlength = uint32_t(-1);
            attr.fragsize = 96 * 2;
            ok = pa_stream_connect_record(stream_, device, &attr, PA_STREAM_ADJUST_LATENCY) == 0;
        }
        pa_threaded_mainloop_unlock(loop_);
        // An idle null sink renders seconds ahead; wait until the recording flows in real time.
        const double deadline = Now() + 5;
        while (ok && frames_ < kRate / 5 && Now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        steady_ = true;
        return ok && frames_ >= kRate / 5;
    }
    ~Recorder() {
        if (!loop_) return;
        pa_threaded_mainloop_stop(loop_);  // a second stop does nothing
        if (stream_) pa_stream_unref(stream_);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        pa_threaded_mainloop_free(loop_);
    }
    // Fixes the recording's clock from the early few per cent of the arrivals: most fragments arrive a
    // little late, some much later on a busy machine.
    void stop() {
        pa_threaded_mainloop_stop(loop_);
        fitClock();
    }
    double timeOf(int64_t frame) const { return epoch_ + slope_ * double(frame) / kRate; }
    const std::vector<int16_t>& samples() const { return samples_; }
    static constexpr int kRate = 48000;

private:
    static void Signal(void* loop) {
        pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop*>(loop), 0);
    }
    static void onRead(pa_stream* s, size_t, void* self) {
        auto* r = static_cast<Recorder*>(self);
        const void* data = nullptr;
        size_t bytes = 0;
        while (pa_stream_readable_size(s) > 0 && pa_stream_peek(s, &data, &bytes) == 0 && bytes > 0) {
            const double arrived = Now();
            const auto* p = static_cast<const int16_t*>(data);
            if (p)
                r->samples_.insert(r->samples_.end(), p, p + bytes / 2);
            else
                r->samples_.resize(r->samples_.size() + bytes / 2, 0);
            pa_stream_drop(s);
            if (r->steady_) r->arrivals_.push_back({double(r->samples_.size()), arrived});
            r->frames_ = r->samples_.size();
        }
    }
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    std::vector<int16_t> samples_;
    std::atomic<size_t> frames_{0};
    std::atomic<bool> steady_{false};
    // The sound server's clock and the steady clock may run at slightly different rates: a straight line
    // through the earliest arrival of each second of recording maps one onto the other.
    void fitClock() {
        std::vector<std::pair<double, double>> early;  // frames, arrival
        for (const auto& a : arrivals_) {
            const auto second = size_t(a.first / kRate);
            if (early.size() <= second) early.resize(second + 1, {0, 1e300});
            if (a.second - a.first / kRate < early[second].second - early[second].first / kRate)
                early[second] = a;
        }
        std::erase_if(early, [](const auto& e) { return e.second > 1e299; });
        if (early.size() < 2) return;
        double sx = 0, sy = 0, sxx = 0, sxy = 0;
        const auto n = double(early.size());
        for (const auto& [frames, arrived] : early) {
            const double x = frames / kRate;
            sx += x;
            sy += arrived;
            sxx += x * x;
            sxy += x * arrived;
        }
        slope_ = (n * sxy - sx * sy) / (n * sxx - sx * sx);
        epoch_ = (sy - slope_ * sx) / n;
    }
    std::vector<std::pair<double, double>> arrivals_;
    double epoch_ = 0;
    double slope_ = 1;
};

struct Reading {
    double wall, position;
};

double PositionAt(const std::vector<Reading>& r, double wall) {
    for (size_t i = 1; i < r.size(); ++i)
        if (r[i].wall >= wall)
            return r[i - 1].position + (r[i].position - r[i - 1].position) * (wall - r[i - 1].wall) /
                                           std::max(1e-9, r[i].wall - r[i - 1].wall);
    return -1;
}

// Reported minus heard position at each click, in ms, over `seconds` of the song at `percent`; empty when
// there is no sound server to record from.
std::vector<double> HeardErrors(const QString& clicks, double seconds, int percent) {
    Recorder rec;
    const QByteArray sink = qgetenv("QIVA_PULSE_SINK");
    const QByteArray monitor = sink.isEmpty() ? QByteArray() : sink + ".monitor";
    if (!rec.start(monitor.isEmpty() ? nullptr : monitor.constData())) {
        std::printf("position: skipped, no PulseAudio server to record from\n");
        return {};
    }
    EnginePlayer p(false, EnginePlayer::Output::Automatic);
    p.setSpeed(percent);
    p.setFileName(clicks);
    std::vector<Reading> readings;
    p.Play();
    while (p.CurrentPosition() < seconds) {
        const double before = Now();
        const double pos = p.CurrentPosition();
        const double after = Now();
        if (after - before < 0.0005) readings.push_back({(before + after) / 2, pos});
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const QString output = p.outputName();
    p.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    rec.stop();
    if (output != "pulse") {
        std::printf("position: skipped, the engine played to the %s output\n", qPrintable(output));
        return {};
    }
    const std::vector<int16_t>& heard = rec.samples();
    std::vector<double> errors;
    for (int i = 1; i + 1 < int(seconds); ++i) {
        const double inSong = double(i * kClickEvery + kClickOffset) / 44100;
        const double wall =
            readings.front().wall + (inSong - readings.front().position) * 100 / double(percent);
        const auto guess = int64_t((wall - rec.timeOf(0)) * Recorder::kRate);
        int64_t best = std::clamp<int64_t>(guess - 9600, 0, int64_t(heard.size()) - 1);
        for (int64_t k = best; k < std::min<int64_t>(guess + 9600, int64_t(heard.size())); ++k)
            if (std::abs(heard[size_t(k)]) > std::abs(heard[size_t(best)])) best = k;
        errors.push_back((PositionAt(readings, rec.timeOf(best)) - inSong) * 1000);
    }
    return errors;
}

void PositionError(const QString& clicks, double seconds, const char* what) {
    const std::vector<double> errors = HeardErrors(clicks, seconds, 100);
    if (errors.empty()) return;
    double mean = 0, worst = 0;
    for (double e : errors) {
        mean += e / double(errors.size());
        worst = std::max(worst, std::abs(e));
    }
    std::printf("position %s, each click, ms:", what);
    for (double e : errors) std::printf(" %+.1f", e);
    std::printf("\n");
    std::printf(
        "position %s, reported minus heard over %zu clicks: mean %+.2f ms, worst %.2f ms (target < 5 ms)\n",
        what, errors.size(), mean, worst);
}

void Cpu(const QString& song, double seconds) {
    const QString cli = QCoreApplication::applicationDirPath() + "/bench_player_cli";
    bool ok1 = false, ok2 = false, ok3 = false;
    const double ours = ChildCpu(cli, {song, "--quiet", "--for", QString::number(seconds)}, &ok1);
    const int frames = int(seconds * 44100 / 1152);
    const double theirs =
        ChildCpu("mpg123", {"-q", "-o", "pulse", "-n", QString::number(frames), song}, &ok2);
    const double theirDecode = ChildCpu("mpg123", {"-q", "-t", song}, &ok3);
    Mp3Decoder d;
    d.open(song);
    std::vector<int16_t> buf(4096 * 2);
    const double before = CpuSeconds(RUSAGE_THREAD);
    while (d.read(buf.data(), 4096) > 0) {
    }
    const double ourDecode = CpuSeconds(RUSAGE_THREAD) - before;
    const double length = d.lengthSeconds();
    if (ok1 && ok2)
        std::printf(
            "cpu     playing through PulseAudio, per second of audio: ours %.2f ms, mpg123 -o pulse %.2f ms "
            "(ratio %.2f, target <= 1.5)\n",
            ours / seconds * 1000, theirs / seconds * 1000, ours / std::max(theirs, 1e-9));
    else
        std::printf("cpu     playing: skipped (%s)\n", ok1 ? "mpg123 -o pulse failed" : "the player failed");
    std::printf("cpu     decoding alone, per second of audio: ours %.2f ms, mpg123 -t %s\n",
                ourDecode / length * 1000,
                ok3 ? qPrintable(QString("%1 ms").arg(theirDecode / length * 1000, 0, 'f', 2)) : "failed");
}

// Slowed playback beside 100 % in one run: the heard position at each speed through the null sink, and the
// engine's CPU per second of audio heard (the same length of listening at each speed).
void SpeedFigures(const QString& clicks, const QString& song, double seconds) {
    for (const int percent : {100, 75, 50}) {
        std::vector<double> errors = HeardErrors(clicks, seconds, percent);
        if (errors.empty()) return;
        for (double& e : errors) e = std::abs(e);
        std::sort(errors.begin(), errors.end());
        std::printf(
            "speed   %3d %%: position reported minus heard over %zu clicks: median %.2f ms, worst %.2f ms "
            "(target at 75 and 50 %%: median <= 5 ms, worst <= 15 ms)\n",
            percent, errors.size(), errors[errors.size() / 2], errors.back());
    }
    const QString cli = QCoreApplication::applicationDirPath() + "/bench_player_cli";
    double perHeard[101] = {};
    for (const int percent : {100, 75, 50}) {
        bool ok = false;
        const double songSeconds = seconds * percent / 100.0;
        const double cpu = ChildCpu(
            cli,
            {song, "--quiet", "--speed", QString::number(percent), "--for", QString::number(songSeconds)},
            &ok);
        if (!ok) {
            std::printf("speed   cpu: skipped (the player failed at %d %%)\n", percent);
            return;
        }
        perHeard[percent] = cpu / seconds * 1000;
    }
    std::printf(
        "speed   cpu per second of audio heard through PulseAudio: 100 %% %.2f ms, 75 %% %.2f ms, 50 %% %.2f "
        "ms "
        "(50 %% against 100 %%: %.2fx, target <= 3x); per second of song at 50 %%: %.2f ms\n",
        perHeard[100], perHeard[75], perHeard[50], perHeard[50] / std::max(perHeard[100], 1e-9),
        perHeard[50] * 2);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains("--quick");
    QTemporaryDir dir;
    if (!MakeSongs(dir)) {
        std::fprintf(stderr, "cannot make the bench songs (sox and lame are needed)\n");
        return 1;
    }
    if (app.arguments().contains("--speed")) {
        SpeedFigures(dir.filePath("clicks.mp3"), dir.filePath("song.mp3"), quick ? 10 : 20);
        return 0;
    }
    for (const char* kind : {"mp3", "flac", "opus"}) {
        const QString name = QString::fromLatin1(kind);
        const QByteArray what = name == "mp3" ? QByteArray("VBR MP3") : name.toUpper().toLatin1();
        OpenTime(dir.filePath("song." + name), what.constData());
        SeekError(dir.filePath("clicks." + name), what.constData());
        PositionError(dir.filePath("clicks." + name), quick ? 10 : 30, what.constData());
    }
    Cpu(dir.filePath("song.mp3"), quick ? 10 : 30);
    SpeedFigures(dir.filePath("clicks.mp3"), dir.filePath("song.mp3"), quick ? 10 : 20);
    return 0;
}
