#pragma once
// A step-three window over the test doubles, with a lyrics folder of its own in a temporary directory.

#include <QByteArray>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "platform/doubles/Doubles.h"
#include "store/Main.h"
#include "wizard/EditForm3.h"

namespace qiva::test {

inline const QString kSong = QStringLiteral("/music/song.mp3");

struct Step3 {
    QTemporaryDir dir;
    Main m{dir.path()};
    TestServices ts;
    std::unique_ptr<EditForm3> form;

    // Puts `texts` into the document as lines 1..N (end times `times`, when given) and the song path.
    explicit Step3(const QStringList& texts, double songSeconds = 240.0);
    void open();  // creates the window (Form_Load)

    FakeMediaPlayer& player() const;
    // Line i's end time and text.
    int t(int i) const { return m.lyricLines[static_cast<size_t>(i)].endTime; }
    QString text(int i) const { return m.lyricLines[static_cast<size_t>(i)].text; }
    void setTimes(const std::vector<int>& times);  // lines 1..times.size(); the list is refilled
    QList<int> times() const;
    QStringList rows() const;
    // "on"/"off" for Command2, Command3, Command4, Command1, List1, in that order.
    QStringList enabledState() const;
    // Plays, then presses "单击这里记录" at each of `seconds` (absolute song positions, increasing).
    void recordAt(const std::vector<double>& seconds);
    QString path(const QString& name) const { return dir.filePath(name); }
    // Boxes of the prompter, as "kind|title|text".
    QStringList boxes() const;
};

QStringList Lines(int n);  // "第1句", "第2句", ...
QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
QString FixturePath(const QString& name);

}  // namespace qiva::test
