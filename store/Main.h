#pragma once
// The program's one code module: the association table and the current lyrics document that every window
// shares. One instance is made at start-up and handed to every window; tests make their own.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

namespace qiva {

class Prompter;

// A failed file operation of the store (open, read, convert, write). Callers catch it and show their own
// message; what() is a readable English/Chinese explanation for logs and for messages that have no fixed
// text.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The association table cannot take what was asked of it: 32767 entries are its limit.
class TableFullError : public StoreError {
public:
    using StoreError::StoreError;
};

struct AssocEntry {
    QString songPath;
    QString lyricsPath;
};

struct LyricLine {
    QString text;
    int16_t endTime = 0;  // tenths of a second from the start of the song
};

// The end time of a last line that lasts to the end of the song: an LRC file need not say where its last
// line ends, and the document cannot know the song's length. The player reads it as the song's length.
inline constexpr int16_t kUntilSongEnd = INT16_MAX;

// The two formats of a timed lyrics file: the program's own and LRC (store/LrcFormat.h).
enum class LyricsFormat { Own, Lrc };

// What the windows that add an association say when the table already holds 32767 entries.
inline const QString kTableFull = QStringLiteral("关联记录已达到 32767 条的上限，无法再添加关联。");

class Main {
public:
    // lyricsFolder: the folder that holds "关联记录.TXT" (with or without a trailing separator).
    explicit Main(QString lyricsFolder);

    // --- association table -------------------------------------------------------------------------------
    // Entries are numbered 1..assocCount; assocTable[0] is an unused slot so the numbers index directly.
    std::vector<AssocEntry> assocTable{1};
    int16_t assocCount = 0;
    bool editMode = false;

    // Replaces the table with the record file's contents (a count of 0 or less leaves the table as it was).
    // A missing record file loads as count 0. Throws StoreError for an unreadable or malformed file; the
    // file itself is never touched by a load.
    void LoadAssociations();
    // Appends {songPath, lyricsPath} as entry assocCount + 1. Throws StoreError (and changes nothing) when
    // the table already holds 32767 entries.
    void AppendAssociation(const QString& songPath, const QString& lyricsPath);
    // Asks the duplicate questions through `prompter`, then drops the last entry or rewrites the record file
    // atomically. Does nothing while editMode is true. Throws StoreError when the write fails (the previous
    // record file stays intact; the new entry stays in memory). ConfirmAssociation, then WriteAssociations.
    void CommitAssociation(Prompter& prompter);
    // Appends every entry not already in the table with both paths equal (nor earlier in `entries`) and
    // rewrites the record file once, atomically; returns how many were appended (0: nothing written). No
    // questions are asked: a song already associated with another lyrics file gets one more entry, as a Yes
    // to CommitAssociation's question gives it. Writes whatever editMode says, for adding songs is no part
    // of an edit. Throws TableFullError when the table would pass 32767 entries and StoreError for a path
    // with a double quote (both before anything changes), StoreError when the write fails (the table as it
    // was, the previous record file intact).
    int AppendAssociations(const std::vector<AssocEntry>& entries);
    // The questions alone: asks about every older entry with the appended entry's song or lyrics path; on
    // the first No drops the appended entry and returns false. True when the association goes ahead, and
    // at once, asking nothing, while editMode is true. Writes nothing, so a caller can do its own file work
    // between the answers and the record.
    [[nodiscard]] bool ConfirmAssociation(Prompter& prompter);
    // Rewrites the record file with the whole table, atomically; nothing while editMode is true.
    void WriteAssociations() const;
    QString assocFilePath() const;
    const QString& lyricsFolder() const { return lyricsFolder_; }

    // --- current lyrics document -------------------------------------------------------------------------
    QString lyricAlbum;
    QString lyricSinger;
    int16_t lyricLineCount = 0;
    QString lyricComposer;
    QString lyricSongPath;
    QString lyricTitle;
    QString lyricLyricist;
    std::vector<LyricLine> lyricLines{1};  // slots 0..lyricLineCount; slot 0 is always {"", 0}

    // Replaces the current document with the file's contents, in whichever format the file is: the
    // program's own (it begins with a quoted field, after blanks) or LRC (it begins with a '[' tag, after a
    // byte-order mark and blank lines); the extension does not matter. `afterHeader` runs once the seven
    // header fields are assigned and before the line records are read (the player shows the song information
    // there, step three loads the song); the line table is rebuilt empty as soon as the count is read. An LRC
    // file leaves lyricSongPath empty. Throws StoreError on failure; what was assigned before stays (a failed
    // LRC file assigns nothing), and lyricLines always holds exactly lyricLineCount + 1 slots (never a state
    // a later reader can crash on). Answers the format that was read.
    LyricsFormat ReadLyricsFile(const QString& path, const std::function<void()>& afterHeader = {});
    // Writes the current document atomically in the program's own format. Throws StoreError (previous file
    // intact) when it cannot.
    void WriteLyricsFile(const QString& path) const;
    // Writes the current document atomically as an LRC file. Throws LrcOrderError, with a message for the user,
    // and writes nothing when the end times do not rise from line to line (store/LrcFormat.h).
    void WriteLrcFile(const QString& path) const;
    // Replaces the line table with `count` empty lines (slot 0 included) and sets lyricLineCount.
    void ResetLines(int16_t count);

private:
    void ReadOwnFormat(const QByteArray& bytes, const std::function<void()>& afterHeader);
    void ReadLrc(const QString& text, const std::function<void()>& afterHeader);

    QString lyricsFolder_;
};

// The wizard's lyric text file: the raw text plus one CR LF, in code page 936.
QString OpenLyricText(const QString& path);                    // throws StoreError
void SaveLyricText(const QString& path, const QString& text);  // throws StoreError, atomic

// The lyrics folder: the program's directory + "歌词", or the per-user data folder + "歌词" when the program
// directory cannot hold it. Created when missing. Every fixed path and dialog folder starts here.
QString LyricsFolder();

}  // namespace qiva
