#pragma once
// A step-two window over the doubles, with the song of step one already chosen.

#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <memory>

#include "Suites.h"
#include "platform/doubles/Doubles.h"
#include "wizard/EditForm2.h"

namespace qiva::test {

inline const QString kStepTwoSong = QStringLiteral("/歌曲/今天.mp3");

struct StepTwoRig {
    TestServices t;
    Main m{ScratchFolder()};
    std::unique_ptr<EditForm2> w;

    explicit StepTwoRig(const QString& songPath = kStepTwoSong) {
        t.players.songs = {{kStepTwoSong, 240}};
        // A song made on disk by the test plays as well.
        if (QFile::exists(songPath)) t.players.songs.insert(songPath, 240);
        m.lyricSongPath = songPath;
        w = std::make_unique<EditForm2>(m, t.services);
    }
    FakeMediaPlayer& mp() { return static_cast<FakeMediaPlayer&>(w->MP1->engine()); }
    bool nextEnabled() const { return w->Command1->isEnabled(); }
    bool saveEnabled() const { return w->Command3->isEnabled(); }
    void open(const QString& path) {
        t.dialogs.answers.push_back(path);
        w->Command2->click();
    }
    void save(const QString& path) {
        t.dialogs.answers.push_back(path);
        w->Command3->click();
    }
};

}  // namespace qiva::test
