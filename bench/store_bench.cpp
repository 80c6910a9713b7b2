// Reading and writing the largest files the store allows: a timed lyrics file of 32,767 lines (in the
// program's own format and as LRC) and an association record of 32,767 entries. Each operation should stay
// under 20 ms.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include "platform/Prompter.h"
#include "store/Main.h"

using namespace qiva;

namespace {

constexpr int16_t kMax = INT16_MAX;

// Every path in these tables is distinct, so no question is ever asked; a Yes keeps the run going if one
// were.
class NoQuestions : public Prompter {
public:
    void MsgBox(const QString&, const QString&) override {}
    bool AskYesNo(const QString&, const QString&) override { return true; }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
};

void FillLyrics(Main& m) {
    m.lyricAlbum = m.lyricSinger = m.lyricComposer = m.lyricTitle = m.lyricLyricist = QStringLiteral("未知");
    m.lyricSongPath = QStringLiteral("D:\\MP3\\很长的歌曲名字.MP3");
    m.ResetLines(kMax);
    for (int i = 1; i <= kMax; ++i) {
        m.lyricLines[size_t(i)] = {QStringLiteral("第%1行，这是一行典型长度的歌词文字").arg(i), int16_t(i)};
    }
}

void FillAssociations(Main& m) {
    m.assocTable.assign(1, {});
    m.assocCount = 0;
    for (int i = 1; i <= kMax; ++i) {
        m.AppendAssociation(QStringLiteral("D:\\音乐\\歌手\\专辑\\歌曲%1.MP3").arg(i),
                            QStringLiteral("D:\\程序\\歌词\\歌曲%1.TXT").arg(i));
    }
}

void BM_WriteLyrics32767(benchmark::State& state) {
    QTemporaryDir dir;
    Main m(dir.path());
    FillLyrics(m);
    const QString path = dir.filePath(QStringLiteral("big.TXT"));
    for (auto _ : state) m.WriteLyricsFile(path);
}

void BM_ReadLyrics32767(benchmark::State& state) {
    QTemporaryDir dir;
    Main m(dir.path());
    FillLyrics(m);
    const QString path = dir.filePath(QStringLiteral("big.TXT"));
    m.WriteLyricsFile(path);
    for (auto _ : state) {
        m.ReadLyricsFile(path);
        benchmark::DoNotOptimize(m.lyricLines.data());
    }
}

// The same document as an LRC file (its end times rise by a tenth a line, so it can be one).
void BM_WriteLrc32767(benchmark::State& state) {
    QTemporaryDir dir;
    Main m(dir.path());
    FillLyrics(m);
    const QString path = dir.filePath(QStringLiteral("big.lrc"));
    for (auto _ : state) m.WriteLrcFile(path);
}

void BM_ReadLrc32767(benchmark::State& state) {
    QTemporaryDir dir;
    Main m(dir.path());
    FillLyrics(m);
    const QString path = dir.filePath(QStringLiteral("big.lrc"));
    m.WriteLrcFile(path);
    for (auto _ : state) {
        m.ReadLyricsFile(path);
        benchmark::DoNotOptimize(m.lyricLines.data());
    }
    if (m.lyricLineCount != kMax) state.SkipWithError("the LRC file did not read back whole");
}

// The whole commit: 32,766 comparisons for the new entry, then the rewrite of the record.
void BM_CommitAssociations32767(benchmark::State& state) {
    QTemporaryDir dir;
    Main m(dir.path());
    FillAssociations(m);
    NoQuestions prompter;
    for (auto _ : state) m.CommitAssociation(prompter);
}

void BM_LoadAssociations32767(benchmark::State& state) {
    QTemporaryDir dir;
    Main m(dir.path());
    FillAssociations(m);
    NoQuestions prompter;
    m.CommitAssociation(prompter);
    for (auto _ : state) {
        m.LoadAssociations();
        benchmark::DoNotOptimize(m.assocTable.data());
    }
}

}  // namespace

BENCHMARK(BM_WriteLyrics32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLyrics32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteLrc32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLrc32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CommitAssociations32767)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadAssociations32767)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
