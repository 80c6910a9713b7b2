// Dropping a folder of 2,000 songs, each with its lyrics file, onto a player that lists 1,000 songs already:
// from the drop to the message that says what was added (the search of 20 folders, the record rewritten
// with 3,000 entries, the list refilled). It should stay under 1 s.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QWindow>
#include <memory>

#include "app/MainPlay.h"
#include "platform/doubles/Doubles.h"
#include "store/Codec.h"

using namespace qiva;

namespace {

void Touch(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
}

// 20 albums of 100 songs, each song with an LRC file of its name.
QString MakeSongFolder(const QString& root) {
    const QString songs = root + QStringLiteral("/音乐");
    for (int album = 0; album < 20; ++album) {
        const QString folder = songs + QStringLiteral("/歌手/专辑%1").arg(album);
        QDir().mkpath(folder);
        for (int song = 0; song < 100; ++song) {
            const QString base = folder + QStringLiteral("/%1 - 一首歌的名字").arg(song, 2, 10, QChar(u'0'));
            Touch(base + QStringLiteral(".mp3"));
            Touch(base + QStringLiteral(".lrc"));
        }
    }
    return songs;
}

QByteArray RecordOf1000() {
    QString text = QStringLiteral("1000\r\n");
    for (int i = 0; i < 1000; ++i)
        text += QStringLiteral("\"/home/用户/音乐/旧歌%1.mp3\",\"/home/用户/歌词/旧歌%1.TXT\"\r\n").arg(i);
    return EncodeAnsi(text);
}

void BM_Drop2000Songs(benchmark::State& state) {
    QTemporaryDir dir;
    const QString songs = MakeSongFolder(dir.path());
    const QByteArray record = RecordOf1000();
    test::TestServices services;
    Main m(dir.path());
    const QString recordPath = m.assocFilePath();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(songs)});
    for (auto _ : state) {
        state.PauseTiming();
        QFile f(recordPath);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(record) != record.size())
            qFatal("cannot write the record");
        f.close();
        auto w = std::make_unique<MainPlay>(m, services.services);
        w->show();
        QCoreApplication::processEvents();
        const size_t boxes = services.prompter.boxes.size();
        state.ResumeTiming();

        // As the display delivers a drag from a file manager: it enters the window, then drops.
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w->windowHandle(), &enter);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w->windowHandle(), &drop);
        while (services.prompter.boxes.size() == boxes) QCoreApplication::processEvents();

        state.PauseTiming();
        if (services.prompter.boxes.back().text != QStringLiteral("已添加 2000 首歌曲。"))
            state.SkipWithError(qPrintable(services.prompter.boxes.back().text));
        w.reset();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_Drop2000Songs)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
