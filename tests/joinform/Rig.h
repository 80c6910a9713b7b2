#pragma once
// A lyrics folder in a temporary directory, the store over it, the player window's engine and an open
// association window, all driven through the test doubles.

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "association/JoinForm.h"
#include "platform/MediaPlayerControl.h"
#include "platform/doubles/Doubles.h"

namespace qiva::test {

// "未知" in code page 936, as the wizard writes it into unknown song information.
inline const QByteArray kUnknownAnsi = QByteArray("\xce\xb4\xd6\xaa");

// A timed lyrics file with two lines, the first header field and the first line text in Chinese.
inline QByteArray TwoLineLyrics(const QByteArray& songPath) {
    return "\"" + kUnknownAnsi + "\",\"Singer\",2,\"Composer\",\"" + songPath +
           "\",\"Title\",\"Lyricist\"\r\n85,\"" + kUnknownAnsi + ", with a comma\"\r\n2401,\"end \"\r\n";
}

inline QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

struct Rig {
    explicit Rig(int ownerState = MediaPlayer::Stopped) {
        ts.players.songs.insert(songPath(), 200);
        ts.players.songs.insert(ownerSong(), 100);
        owner = ts.players.create(true);
        owner->setFileName(ownerSong());  // auto-start: playing
        if (ownerState == MediaPlayer::Paused) owner->Pause();
        if (ownerState == MediaPlayer::Stopped) owner->Stop();
        ownerFake().calls.clear();
        form = std::make_unique<JoinForm>(m, ts.services, *owner);
        form->show();
    }

    QString path(const QString& name) const { return dir.filePath(name); }
    QString songPath() const { return path(QStringLiteral("song.MP3")); }
    QString ownerSong() const { return path(QStringLiteral("owner.MP3")); }
    QString lyricsPath() const { return path(QStringLiteral("lyrics.TXT")); }
    QString recordPath() const { return m.assocFilePath(); }

    FakeMediaPlayer& ownerFake() { return static_cast<FakeMediaPlayer&>(*owner); }
    FakeMediaPlayer& mp() { return static_cast<FakeMediaPlayer&>(form->MP->engine()); }

    void browseSong(const QString& answer) {
        ts.dialogs.answers.push_back(answer);
        form->Command1->click();
    }
    void browseLyrics(const QString& answer) {
        ts.dialogs.answers.push_back(answer);
        form->Command2->click();
    }
    // Writes the standard two-line lyrics file and chooses it together with the song.
    void chooseBoth() {
        WriteBytes(lyricsPath(), TwoLineLyrics("D:\\MP3\\old.MP3"));
        browseSong(songPath());
        browseLyrics(lyricsPath());
    }
    void associate() { form->Command3->click(); }
    bool closedByAssociate() const { return !form->isVisible() && form->result() == QDialog::Accepted; }

    QTemporaryDir dir;
    TestServices ts;
    Main m{dir.path()};
    std::unique_ptr<MediaPlayer> owner;
    std::unique_ptr<JoinForm> form;
};

}  // namespace qiva::test
