// A command-line player over the real engine, for measuring it from outside: plays a file through the chosen
// output and prints, every 10 ms, "P <steady-clock seconds> <position seconds>".
// Usage: bench_player_cli FILE [--null] [--quiet] [--start SECONDS] [--for SECONDS] [--speed PERCENT]
// --for counts song time; --speed plays slowed (75 or 50), the pitch kept.
// --quiet prints no positions (for measuring the engine's own CPU use).
// Before the positions it prints "O <open milliseconds> <duration seconds> <output>"; at the end "E".

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <cstdio>

#include "platform/EnginePlayer.h"

namespace {

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Options {
    QString file;
    bool null = false;
    bool quiet = false;
    double start = 0;
    double limit = -1;
    int speed = 100;
};

bool Parse(const QStringList& args, Options& o) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == "--null") {
            o.null = true;
        } else if (a == "--quiet") {
            o.quiet = true;
        } else if (a == "--start" && i + 1 < args.size()) {
            o.start = args[++i].toDouble();
        } else if (a == "--speed" && i + 1 < args.size()) {
            o.speed = args[++i].toInt();
        } else if (a == "--for" && i + 1 < args.size()) {
            o.limit = args[++i].toDouble();
        } else if (o.file.isEmpty()) {
            o.file = a;
        } else {
            return false;
        }
    }
    return !o.file.isEmpty();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options o;
    if (!Parse(app.arguments(), o)) {
        std::fprintf(
            stderr, "usage: %s FILE [--null] [--quiet] [--start SECONDS] [--for SECONDS] [--speed PERCENT]\n",
            argv[0]);
        return 2;
    }
    using qiva::EnginePlayer;
    EnginePlayer player(false, o.null ? EnginePlayer::Output::Null : EnginePlayer::Output::Automatic);
    player.setSpeed(o.speed);
    const double t0 = SteadySeconds();
    try {
        player.setFileName(o.file);
    } catch (const qiva::PlayerError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    const double opened = SteadySeconds();
    if (o.start > 0) player.setCurrentPosition(o.start);
    player.Play();
    std::printf("O %.3f %.6f %s\n", (opened - t0) * 1000, player.Duration(), qPrintable(player.outputName()));
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!o.quiet) std::printf("P %.6f %.6f\n", SteadySeconds(), player.CurrentPosition());
        if (o.limit > 0 && player.CurrentPosition() - o.start >= o.limit) app.quit();
    });
    QObject::connect(&player, &EnginePlayer::PlayStateChange, [&](int, int now) {
        if (now == qiva::MediaPlayer::Stopped) {
            std::printf("E\n");
            app.quit();
        }
    });
    tick.start(o.quiet ? 100 : 10);
    return app.exec();
}
