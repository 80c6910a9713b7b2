#pragma once
// The window's file chooser CD1: FileName, Filter ("MP3 Files(*.MP3)|*.MP3"), InitDir and the flags value are
// kept between showings for the life of its window; ShowOpen / ShowSave return when the user has chosen
// ("" in FileName when cancelled). A Save As adds the chosen filter's extension to a name typed without one.

#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace qiva {

// The filters of the dialogs that choose a song or a lyrics file, the same in every window that asks. Every
// song the engine plays first, so that a dialog opens showing all of them; MP3 alone second.
inline const QString kSongFilter = QStringLiteral(
    "音乐文件(*.MP3;*.FLAC;*.OGG;*.OPUS;*.WAV)|*.MP3;*.FLAC;*.OGG;*.OPUS;*.WAV|MP3 Files(*.MP3)|*.MP3");
// The program's own lyrics files and LRC files together first, then each kind alone.
inline const QString kLyricsFilter =
    QStringLiteral("歌词文件(*.TXT;*.LRC)|*.TXT;*.LRC|Text Files(*.TXT)|*.TXT|LRC Files(*.LRC)|*.LRC");

class FileDialog {
public:
    enum class Kind { Open, SaveAs };

    virtual ~FileDialog() = default;

    QString FileName;
    QString Filter;
    QString InitDir;
    int Flags = 0;  // the value callers set to 1 before each showing
    // Which description and pattern pair of Filter is chosen, counted from 1: the one a showing starts with,
    // and afterwards the one the user left chosen (a Save As whose filter decides the format reads it).
    int FilterIndex = 1;

    // Clears nothing by itself: callers set FileName to "" first, as every call site does.
    void ShowOpen() { FileName = run(Kind::Open); }
    // A name typed without an extension gets the chosen filter's (".TXT"), so that the Open dialogs, which
    // list only that extension, find the file again; a typed extension is kept as typed.
    void ShowSave();

protected:
    // Shows the dialog modally and returns the chosen full path, or "" when cancelled; sets FilterIndex to
    // the pair chosen at the end.
    virtual QString run(Kind kind) = 0;
};

// The patterns of pair `index` (from 1) of a filter: "Text Files(*.TXT)|*.TXT" and 1 give {"*.TXT"}; none
// for a pair the filter does not have.
QStringList FilterPatterns(const QString& filter, int index);
// The extension a Save As adds for pair `index`: "TXT" for "*.TXT" (its first pattern); "" where that
// pattern names no single extension ("*", "*.*").
QString FilterExtension(const QString& filter, int index);
// `path` with "." and `extension` appended when its file name has no dot at all; otherwise unchanged.
QString WithExtension(const QString& path, const QString& extension);

class FileDialogFactory {
public:
    virtual ~FileDialogFactory() = default;
    // parent: the window that hosts the dialog (its modal owner).
    virtual std::unique_ptr<FileDialog> create(QWidget* parent) = 0;
};

}  // namespace qiva
