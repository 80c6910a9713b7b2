// Start-up, memory and CPU of the program measured side by side with a window of the same widgets
// (bench_same_widgets), a bare Qt window (bench_bare_window) and mpg123, in one run. Run by scripts/bench.sh,
// which provides the X display and the sound server.
//
//   bench_side_by_side <qiva> <bench_bare_window> <bench_same_widgets> [bench_marker_floor]
//
// Start-up: launch to the first painted player window (QIVA_FIRST_PAINT=quit), with 1,000 associations, each
// start on a settled machine, the three programs in turn.
// Memory: Rss and Pss (/proc/<pid>/smaps_rollup) once idle after the first paint, and while playing.
// CPU: time on a CPU of all threads over 20 s of audio, the program playing a row (clicked with xdotool) with
// its lyric clock running, against `mpg123 -o pulse` playing the same file through the same server, in three
// alternating pairs; and, as a floor, a window that only moves a picture as often as the lyric clock does
// (bench_marker_floor), in a pair of its own with mpg123. The program plays once more in each round with
// its desktop lyrics shown, measured against the same round's mpg123.

#include <sys/wait.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "store/Codec.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kStartRuns = 41;
// A program started the moment another has exited starts up to a third slower while the display server and
// the kernel clear up after the first, and in alternating runs that penalty falls on the bare window, which
// always follows the program. Every start waits this long after the previous exit, as a user's would.
constexpr double kSettleSeconds = 0.3;
constexpr int kAssociations = 1000;
constexpr double kSongSeconds = 40;
constexpr double kCpuWindow = 20;
// CPU on a shared machine wanders by tens of percent from minute to minute: the program and mpg123 are
// measured in alternating pairs, each pair's ratio taken, and the median pair reported.
constexpr int kCpuRounds = 3;

struct Child {
    pid_t pid = -1;
    FILE* out = nullptr;  // the child's standard output
};

Child Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    int fds[2];
    if (pipe(fds) != 0) std::exit(2);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        for (const std::string& e : env) putenv(strdup(e.c_str()));
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    return {pid, fdopen(fds[0], "r")};
}

void Finish(Child& c, bool kill) {
    if (kill) ::kill(c.pid, SIGTERM);
    int status = 0;
    waitpid(c.pid, &status, 0);
    fclose(c.out);
}

// Reads lines until "first-paint <ns> ..."; returns the time stamp, or -1.
long long WaitFirstPaint(Child& c) {
    char line[512];
    while (fgets(line, sizeof line, c.out) != nullptr) {
        long long ns = 0;
        if (std::sscanf(line, "first-paint %lld", &ns) == 1) return ns;
        if (std::string(line).starts_with("dialog-before-first-paint")) std::fprintf(stderr, "!! %s", line);
    }
    return -1;
}

void Sleep(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

double StartupMs(const std::vector<std::string>& command, const std::vector<std::string>& env) {
    Sleep(kSettleSeconds);
    std::vector<std::string> e = env;
    e.push_back("QIVA_FIRST_PAINT=quit");
    const long long start =
        std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
    Child c = Spawn(command, e);
    const long long painted = WaitFirstPaint(c);
    Finish(c, false);
    return painted < 0 ? -1 : (painted - start) / 1e6;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? -1 : v[v.size() / 2];
}

struct Memory {
    double rssMb = 0, pssMb = 0;
};

Memory ReadMemory(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
    Memory m;
    std::string line;
    while (std::getline(in, line)) {
        double kb = 0;
        if (std::sscanf(line.c_str(), "Rss: %lf kB", &kb) == 1) m.rssMb = kb / 1024;
        if (std::sscanf(line.c_str(), "Pss: %lf kB", &kb) == 1) m.pssMb = kb / 1024;
    }
    return m;
}

// Time on a CPU of all the process's threads, in nanoseconds as the scheduler counts it: user and system
// time in clock ticks would be too coarse for a few milliseconds a second.
double CpuSeconds(pid_t pid) {
    long long ns = 0;
    std::error_code error;
    for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::ifstream in(task.path() / "schedstat");
        long long onCpu = 0;
        if (in >> onCpu) ns += onCpu;
    }
    return double(ns) / 1e9;
}

int Run(const std::string& command) { return std::system(command.c_str()); }

// The data files are code page 936; the texts here are UTF-8.
void WriteAnsi(const fs::path& path, const std::string& utf8) {
    const QByteArray bytes = qiva::EncodeAnsi(QString::fromStdString(utf8));
    std::ofstream(path, std::ios::binary).write(bytes.constData(), bytes.size());
}

// A program folder of its own: the program, a 40-second song with timed lyrics as row 1, and 999 more rows.
fs::path Prepare(const std::string& qiva) {
    const fs::path dir = fs::temp_directory_path() / ("qiva-bench-" + std::to_string(getpid()));
    const fs::path lyricsDir = dir / "歌词";
    fs::create_directories(lyricsDir);
    fs::copy_file(qiva, dir / "qiva", fs::copy_options::overwrite_existing);
    const fs::path song = lyricsDir / "bench.MP3";
    const fs::path wav = dir / "bench.wav";
    if (Run("sox -n -r 44100 -c 2 '" + wav.string() + "' synth " + std::to_string(kSongSeconds) +
            " sine 220 sine 330 vol 0.3 && lame --quiet -b 128 '" + wav.string() + "' '" + song.string() +
            "'") != 0)
        std::exit(2);
    const fs::path lyrics = lyricsDir / "bench.TXT";
    std::ostringstream l;
    const int lines = 40;
    l << "\"a\",\"s\"," << lines << ",\"c\",\"" << song.string() << "\",\"t\",\"l\"\r\n";
    for (int i = 1; i <= lines; ++i) l << i * 10 << ",\"第" << i << "行歌词\"\r\n";
    WriteAnsi(lyrics, l.str());
    std::ostringstream r;
    r << kAssociations << "\r\n\"" << song.string() << "\",\"" << lyrics.string() << "\"\r\n";
    for (int i = 2; i <= kAssociations; ++i)
        r << "\"" << (lyricsDir / ("song" + std::to_string(i) + ".MP3")).string() << "\",\""
          << (lyricsDir / ("song" + std::to_string(i) + ".TXT")).string() << "\"\r\n";
    WriteAnsi(lyricsDir / "关联记录.TXT", r.str());
    // Settings of the bench's own: none for the plain runs, the desktop lyrics shown for the others.
    fs::create_directories(dir / "config-plain");
    fs::create_directories(dir / "config-desktop" / "qiva");
    std::ofstream(dir / "config-desktop" / "qiva" / "qiva.ini") << "[DesktopLyrics]\nshown=true\n";
    return dir;
}

// Clicks the first row of the player's list, the way a user would.
bool ClickFirstRow() {
    return Run("xdotool search --sync --onlyvisible --name '^播放窗体$' mousemove --window %1 60 32 click 1 "
               ">/dev/null 2>&1") == 0;
}

struct Sample {
    Memory idle, playing;
    double cpuPerAudioSecond = -1;
};

Sample MeasureProgram(const std::string& program, bool play, const std::vector<std::string>& env) {
    std::vector<std::string> e = env;
    e.push_back("QIVA_FIRST_PAINT=report");
    Child c = Spawn({program}, e);
    Sample s;
    if (WaitFirstPaint(c) < 0) return s;
    Sleep(2);
    s.idle = ReadMemory(c.pid);
    if (play && ClickFirstRow()) {
        Sleep(2);
        // The song must really be playing: the program then has a stream on the sound server.
        if (std::getenv("PULSE_SERVER") &&
            Run("pactl list sink-inputs | grep -q 'application.process.id = \"" + std::to_string(c.pid) +
                "\"'") != 0)
            std::fprintf(stderr, "!! the program is not playing after the click\n");
        s.playing = ReadMemory(c.pid);
        const double before = CpuSeconds(c.pid);
        Sleep(kCpuWindow);
        s.cpuPerAudioSecond = (CpuSeconds(c.pid) - before) / kCpuWindow;
    }
    Finish(c, true);
    return s;
}

// The marker-only window starts moving its picture as soon as it is shown.
double FloorCpuPerSecond(const std::string& program, const std::vector<std::string>& env) {
    std::vector<std::string> e = env;
    e.push_back("QIVA_FIRST_PAINT=report");
    Child c = Spawn({program}, e);
    double cpu = -1;
    if (WaitFirstPaint(c) >= 0) {
        Sleep(2);
        const double before = CpuSeconds(c.pid);
        Sleep(kCpuWindow);
        cpu = (CpuSeconds(c.pid) - before) / kCpuWindow;
    }
    Finish(c, true);
    return cpu;
}

double Mpg123CpuPerAudioSecond(const fs::path& song) {
    Child c = Spawn({"mpg123", "-q", "-o", "pulse", song.string()}, {});
    Sleep(2);
    const double before = CpuSeconds(c.pid);
    Sleep(kCpuWindow);
    const double cpu = CpuSeconds(c.pid) - before;
    Finish(c, true);
    return cpu / kCpuWindow;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: %s <qiva> <bench_bare_window> <bench_same_widgets> [bench_marker_floor]\n",
                     argv[0]);
        return 2;
    }
    const fs::path dir = Prepare(argv[1]);
    const std::string qiva = (dir / "qiva").string();
    const std::string bare = fs::absolute(argv[2]).string();
    const std::vector<std::string> same = {fs::absolute(argv[3]).string(), (dir / "歌词").string()};
    const bool pulse = std::getenv("PULSE_SERVER") != nullptr;
    const std::vector<std::string> env = {pulse ? "QIVA_AUDIO=" : "QIVA_AUDIO=null",
                                          "XDG_CONFIG_HOME=" + (dir / "config-plain").string()};
    const std::vector<std::string> desktopEnv = {env[0],
                                                 "XDG_CONFIG_HOME=" + (dir / "config-desktop").string()};

    std::vector<double> a, b, w;
    for (int i = 0; i < kStartRuns; ++i) {  // in turn, so that all three see the same machine
        a.push_back(StartupMs({qiva}, env));
        w.push_back(StartupMs(same, env));
        b.push_back(StartupMs({bare}, env));
    }
    const Sample bareSample = MeasureProgram(bare, false, env);
    const fs::path song = dir / "歌词" / "bench.MP3";
    std::vector<Sample> programRounds;
    std::vector<double> mpgRounds, ratios, desktopCpu, desktopRatios;
    for (int i = 0; i < kCpuRounds; ++i) {
        programRounds.push_back(MeasureProgram(qiva, true, env));
        mpgRounds.push_back(pulse ? Mpg123CpuPerAudioSecond(song) : -1);
        ratios.push_back(mpgRounds.back() > 0 ? programRounds.back().cpuPerAudioSecond / mpgRounds.back()
                                              : 0);
        desktopCpu.push_back(MeasureProgram(qiva, true, desktopEnv).cpuPerAudioSecond);
        desktopRatios.push_back(mpgRounds.back() > 0 ? desktopCpu.back() / mpgRounds.back() : 0);
    }
    const size_t desktopMid = size_t(std::distance(
        desktopRatios.begin(), std::find(desktopRatios.begin(), desktopRatios.end(), Median(desktopRatios))));
    const auto [desktopLowest, desktopHighest] =
        std::minmax_element(desktopRatios.begin(), desktopRatios.end());
    // The pair whose ratio is the median stands for the run; memory is from the first pair.
    const size_t mid =
        size_t(std::distance(ratios.begin(), std::find(ratios.begin(), ratios.end(), Median(ratios))));
    const Sample& program = programRounds.front();
    const double cpu = programRounds[mid].cpuPerAudioSecond, mpg = mpgRounds[mid];
    const auto [lowest, highest] = std::minmax_element(ratios.begin(), ratios.end());
    const double floor = argc > 4 ? FloorCpuPerSecond(fs::absolute(argv[4]).string(), env) : -1;
    const double floorMpg = argc > 4 && pulse ? Mpg123CpuPerAudioSecond(song) : -1;

    const double startQ = Median(a), startB = Median(b), startW = Median(w);
    std::printf("| measure | QIVA歌词秀 | yardstick | ratio or difference | target |\n");
    std::printf("|---|---|---|---|---|\n");
    std::printf(
        "| start-up to first paint, %d associations, against a window of the same widgets (median of %d, "
        "each start %.1f s after the last exit) | %.0f ms | %.0f ms | %.2fx | at most 1.3x |\n",
        kAssociations, kStartRuns, kSettleSeconds, startQ, startW, startQ / startW);
    std::printf(
        "| start-up to first paint, against a bare window with nothing in it | %.0f ms | %.0f ms | %.2fx | "
        "|\n",
        startQ, startB, startQ / startB);
    std::printf(
        "| memory idle, Rss / Pss, against the bare window | %.1f / %.1f MB | %.1f / %.1f MB | +%.1f / +%.1f "
        "MB | at most +25 MB |\n",
        program.idle.rssMb, program.idle.pssMb, bareSample.idle.rssMb, bareSample.idle.pssMb,
        program.idle.rssMb - bareSample.idle.rssMb, program.idle.pssMb - bareSample.idle.pssMb);
    std::printf(
        "| memory playing, Rss / Pss, against the bare window | %.1f / %.1f MB | %.1f / %.1f MB | +%.1f / "
        "+%.1f MB | at most +25 MB "
        "|\n",
        program.playing.rssMb, program.playing.pssMb, bareSample.idle.rssMb, bareSample.idle.pssMb,
        program.playing.rssMb - bareSample.idle.rssMb, program.playing.pssMb - bareSample.idle.pssMb);
    std::printf(
        "| CPU per second of audio (%s; median of %d alternating pairs) | %.1f ms "
        "| %.1f ms (mpg123 -o pulse) | %.2fx (pairs %.2f–%.2fx) | at most 1.5x |\n",
        pulse ? "PulseAudio null sink" : "no sound server: null output", kCpuRounds, cpu * 1000, mpg * 1000,
        mpg > 0 ? cpu / mpg : 0.0, *lowest, *highest);
    std::printf(
        "| CPU per second of audio, desktop lyrics shown (the same rounds' mpg123) | %.1f ms "
        "| %.1f ms (mpg123 -o pulse) | %.2fx (rounds %.2f–%.2fx) | at most 1.5x |\n",
        desktopCpu[desktopMid] * 1000, mpgRounds[desktopMid] * 1000, desktopRatios[desktopMid],
        *desktopLowest, *desktopHighest);
    if (floor >= 0)
        std::printf(
            "| CPU per second, a window that only moves the marker picture every 100 ms | %.1f ms | %.1f ms "
            "(mpg123 -o pulse) | %.2fx | (the floor under the row above) |\n",
            floor * 1000, floorMpg * 1000, floorMpg > 0 ? floor / floorMpg : 0.0);
    fs::remove_all(dir);
    return 0;
}
