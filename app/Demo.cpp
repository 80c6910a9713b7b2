#include "app/Demo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include "platform/Prompter.h"
#include "store/Main.h"

namespace qiva {

namespace {
const QString kDemoSong = QStringLiteral("演示歌曲.MP3");
const QString kDemoLyrics = QStringLiteral("演示歌曲.TXT");
const QString kExample = QStringLiteral("步骤二示例.TXT");

// The record of a first start has one entry, so the store never has a duplicate to ask about.
class NoQuestions : public Prompter {
public:
    void MsgBox(const QString&, const QString&) override {}
    bool AskYesNo(const QString&, const QString&) override { return false; }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
};

QByteArray ReadAsset(const QString& name) {
    QFile f(QStringLiteral(":/assets/") + name);
    if (!f.open(QIODevice::ReadOnly)) throw StoreError("missing built-in asset " + name.toStdString());
    return f.readAll();
}

// Creates `path` with the asset's bytes; an existing file of that name is left exactly as it is.
void CopyAssetIfMissing(const QString& asset, const QString& path) {
    if (QFileInfo::exists(path)) return;
    const QByteArray bytes = ReadAsset(asset);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return;
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        out.close();
        out.remove();  // a half-written copy must not pass for the real thing on the next start
    }
}

// The demo's lines and end times come from assets/demo-timing.txt ("tenths<TAB>text" per line), measured on
// the generated song by scripts/make-demo.sh.
void FillDemoLines(Main& doc) {
    QList<LyricLine> lines;
    const QStringList rows = QString::fromUtf8(ReadAsset(QStringLiteral("demo-timing.txt"))).split(u'\n');
    for (const QString& row : rows) {
        if (row.isEmpty() || row.startsWith(u'#')) continue;
        const qsizetype tab = row.indexOf(u'\t');
        bool ok = false;
        const short end = row.left(tab).toShort(&ok);
        if (tab < 0 || !ok) throw StoreError("malformed demo timing");
        lines.append({row.mid(tab + 1), end});
    }
    doc.ResetLines(static_cast<int16_t>(lines.size()));
    for (qsizetype i = 0; i < lines.size(); ++i) doc.lyricLines[static_cast<size_t>(i) + 1] = lines[i];
}

void WriteDemoLyrics(const QString& folder, const QString& songPath, const QString& lyricsPath) {
    Main doc(folder);
    doc.lyricAlbum = QStringLiteral("QIVA歌词秀演示");
    doc.lyricSinger = QStringLiteral("合成语音");
    doc.lyricComposer = QStringLiteral("QIVA");
    doc.lyricSongPath = songPath;
    doc.lyricTitle = QStringLiteral("演示歌曲");
    doc.lyricLyricist = QStringLiteral("QIVA");
    FillDemoLines(doc);
    doc.WriteLyricsFile(lyricsPath);
}

void WriteDemoRecord(const QString& folder, const QString& songPath, const QString& lyricsPath) {
    Main record(folder);
    record.AppendAssociation(songPath, lyricsPath);
    NoQuestions noQuestions;
    record.CommitAssociation(noQuestions);
}
}  // namespace

void InstallFirstRunDemo(const QString& lyricsFolder) {
    QDir dir(lyricsFolder);
    if (!dir.mkpath(QStringLiteral("."))) return;
    try {
        // The marker belongs to the player itself and comes back whenever it is missing.
        CopyAssetIfMissing(QStringLiteral("right.gif"), dir.filePath(QStringLiteral("right.gif")));
        // Everything else is the first start's alone: a folder with a record has been set up before, and a
        // demo file the user deleted stays deleted.
        if (QFileInfo::exists(Main(lyricsFolder).assocFilePath())) return;
        const QString song = QDir::cleanPath(dir.absoluteFilePath(kDemoSong));
        const QString lyrics = QDir::cleanPath(dir.absoluteFilePath(kDemoLyrics));
        const QString example = dir.filePath(kExample);
        CopyAssetIfMissing(QStringLiteral("demo.mp3"), song);
        if (!QFileInfo::exists(lyrics)) WriteDemoLyrics(lyricsFolder, song, lyrics);
        if (!QFileInfo::exists(example))
            SaveLyricText(example, QString::fromUtf8(ReadAsset(QStringLiteral("step2-example.txt"))));
        // Written last, so that a start interrupted before this point tries again next time.
        if (QFileInfo::exists(song) && QFileInfo::exists(lyrics)) WriteDemoRecord(lyricsFolder, song, lyrics);
    } catch (const StoreError&) {
        // A folder that cannot take the demo (read-only, full) still lets the program start; the player then
        // shows what the folder holds.
    }
}

}  // namespace qiva
