// The association table and its record file "关联记录.TXT".

#include "store/Main.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

#include "platform/Prompter.h"
#include "store/Codec.h"
#include "store/FieldReader.h"
#include "store/FileIo.h"

namespace qiva {
namespace {

const QString kRecordFileName = QStringLiteral("关联记录.TXT");
const QString kAskTitle = QStringLiteral("询问！");
const QString kSongTaken = QStringLiteral("发现这个音乐文件已经和一个歌词文件关联，是否继续？");
const QString kLyricsTaken = QStringLiteral("发现这个歌词文件已经和一个音乐文件关联，是否继续？");

QString FormatAssociations(const std::vector<AssocEntry>& table, int16_t count) {
    QString out = QString::number(count) + QStringLiteral("\r\n");
    for (int i = 1; i <= count; ++i) {
        const AssocEntry& e = table[static_cast<size_t>(i)];
        RefuseDoubleQuote(e.songPath, "song path");
        RefuseDoubleQuote(e.lyricsPath, "lyrics path");
        out += u'"' + e.songPath + QStringLiteral("\",\"") + e.lyricsPath + QStringLiteral("\"\r\n");
    }
    return out;
}

// Two entries are the same association when both paths are equal; no path holds a NUL.
QString AssociationKey(const AssocEntry& e) { return e.songPath + QChar(u'\0') + e.lyricsPath; }

}  // namespace

Main::Main(QString lyricsFolder) : lyricsFolder_(std::move(lyricsFolder)) {}

QString Main::assocFilePath() const { return QDir(lyricsFolder_).filePath(kRecordFileName); }

void Main::LoadAssociations() {
    const QString path = assocFilePath();
    // A missing (or emptied) record simply means no associations yet, so the player still starts.
    if (!QFileInfo::exists(path)) {
        assocCount = 0;
        return;
    }
    const QString text = DecodeAnsi(ReadAllBytes(path));
    if (text.trimmed().isEmpty()) {
        assocCount = 0;
        return;
    }
    FieldReader reader(text);
    const int16_t count = reader.NextInt16("association count");
    if (count < 0) throw StoreError("association count: a negative count in " + path.toStdString());
    if (count == 0) {
        assocCount = 0;
        return;
    }
    // Built aside and swapped in whole: a file that ends early leaves the previous table and count in place.
    std::vector<AssocEntry> table(static_cast<size_t>(count) + 1);
    for (size_t i = 1; i < table.size(); ++i) {
        table[i].songPath = reader.NextText("song path");
        table[i].lyricsPath = reader.NextText("lyrics path");
    }
    assocTable.swap(table);
    assocCount = count;
}

void Main::AppendAssociation(const QString& songPath, const QString& lyricsPath) {
    if (assocCount < 0) throw StoreError("the association count is negative");
    if (assocCount == INT16_MAX) throw StoreError("the association table is full (32767 entries)");
    RefuseDoubleQuote(songPath, "song path");
    RefuseDoubleQuote(lyricsPath, "lyrics path");
    const auto next = static_cast<size_t>(assocCount) + 1;
    assocTable.resize(next);
    assocTable.push_back({songPath, lyricsPath});
    assocCount = static_cast<int16_t>(next);
}

void Main::CommitAssociation(Prompter& prompter) {
    if (editMode) return;
    if (ConfirmAssociation(prompter)) WriteAssociations();
}

bool Main::ConfirmAssociation(Prompter& prompter) {
    if (editMode) return true;
    const int n = assocCount;
    if (n < 1 || assocTable.size() < static_cast<size_t>(n) + 1) {
        throw StoreError("no appended association to commit");
    }
    const AssocEntry& added = assocTable[static_cast<size_t>(n)];
    const auto dropAdded = [this] {
        --assocCount;
        assocTable.resize(static_cast<size_t>(assocCount) + 1);
        return false;
    };
    for (int i = 1; i < n; ++i) {
        const AssocEntry& older = assocTable[static_cast<size_t>(i)];
        if (older.songPath == added.songPath && !prompter.AskYesNo(kSongTaken, kAskTitle)) return dropAdded();
        if (older.lyricsPath == added.lyricsPath && !prompter.AskYesNo(kLyricsTaken, kAskTitle)) {
            return dropAdded();
        }
    }
    return true;
}

void Main::WriteAssociations() const {
    if (editMode) return;
    WriteAtomically(assocFilePath(), EncodeAnsi(FormatAssociations(assocTable, assocCount)));
}

int Main::AppendAssociations(const std::vector<AssocEntry>& entries) {
    if (assocCount < 0) throw StoreError("the association count is negative");
    const auto kept = std::min(static_cast<size_t>(assocCount) + 1, assocTable.size());
    QSet<QString> known;
    known.reserve(static_cast<qsizetype>(kept + entries.size()));
    for (size_t i = 1; i < kept; ++i) known.insert(AssociationKey(assocTable[i]));
    std::vector<AssocEntry> added;
    for (const AssocEntry& e : entries) {
        RefuseDoubleQuote(e.songPath, "song path");
        RefuseDoubleQuote(e.lyricsPath, "lyrics path");
        const QString key = AssociationKey(e);
        if (known.contains(key)) continue;
        known.insert(key);
        added.push_back(e);
    }
    if (added.empty()) return 0;
    if (kept - 1 + added.size() > static_cast<size_t>(INT16_MAX))
        throw TableFullError("the association table would pass 32767 entries");
    // Built aside: a failed write leaves the table as it was, matching the file that is still there.
    std::vector<AssocEntry> table(assocTable.begin(), assocTable.begin() + static_cast<std::ptrdiff_t>(kept));
    table.insert(table.end(), added.begin(), added.end());
    const auto count = static_cast<int16_t>(table.size() - 1);
    WriteAtomically(assocFilePath(), EncodeAnsi(FormatAssociations(table, count)));
    assocTable.swap(table);
    assocCount = count;
    return static_cast<int>(added.size());
}

}  // namespace qiva
