// Reading a song's tags for step two: an MP3 whose ID3v2 tag holds a 1 MB cover picture besides the song
// information in GBK and a page of lyrics, and an ID3v1 tag. The read should stay under 5 ms.

#include <benchmark/benchmark.h>
#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "platform/SongTags.h"
#include "store/Codec.h"

using namespace qiva;

namespace {

TagLib::String Gbk(const QString& text) {
    const QByteArray bytes = EncodeAnsi(text);
    return TagLib::String(std::string(bytes.constData(), static_cast<size_t>(bytes.size())),
                          TagLib::String::Latin1);
}

void AddText(TagLib::ID3v2::Tag& tag, const char* id, const QString& text) {
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::Latin1);
    frame->setText(Gbk(text));
    tag.addFrame(frame);
}

// A one-minute song, tagged as a music shop would sell it.
bool MakeSong(const QString& dir, const QString& mp3) {
    const QString wav = dir + QStringLiteral("/song.wav");
    if (QProcess::execute("sox", {"-n", "-r", "44100", "-c", "2", wav, "synth", "60", "sine", "440"}) != 0 ||
        QProcess::execute("lame", {"--quiet", "-b", "128", wav, mp3}) != 0)
        return false;
    TagLib::MPEG::File file(QFile::encodeName(mp3).constData());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    AddText(*tag, "TIT2", QStringLiteral("七里香"));
    AddText(*tag, "TPE1", QStringLiteral("周杰伦"));
    AddText(*tag, "TALB", QStringLiteral("七里香"));
    AddText(*tag, "TEXT", QStringLiteral("方文山"));
    AddText(*tag, "TCOM", QStringLiteral("周杰伦"));
    auto* lyrics = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::Latin1);
    lyrics->setText(Gbk(QStringLiteral("窗外的麻雀在电线杆上多嘴\n").repeated(60)));
    tag->addFrame(lyrics);
    TagLib::ByteVector picture(1024 * 1024, '\0');
    QRandomGenerator random(22);
    for (unsigned i = 0; i < picture.size(); ++i) picture[i] = static_cast<char>(random.bounded(256));
    auto* cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setMimeType("image/jpeg");
    cover->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    cover->setPicture(picture);
    tag->addFrame(cover);
    file.ID3v1Tag(true)->setTitle("Qi Li Xiang");
    return file.save(TagLib::MPEG::File::AllTags);
}

void BM_ReadTagsWith1MBCover(benchmark::State& state) {
    QTemporaryDir dir;
    const QString mp3 = dir.filePath(QStringLiteral("七里香.mp3"));
    if (!MakeSong(dir.path(), mp3)) {
        state.SkipWithError("sox, lame or TagLib could not make the song");
        return;
    }
    for (auto _ : state) {
        const SongTags tags = ReadSongTags(mp3);
        if (tags.title != QStringLiteral("七里香") || tags.lyrics.isEmpty())
            state.SkipWithError("tags not read");
        benchmark::DoNotOptimize(tags.lyrics.data());
    }
    state.counters["file_MB"] = static_cast<double>(QFile(mp3).size()) / 1e6;
}

}  // namespace

BENCHMARK(BM_ReadTagsWith1MBCover)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
