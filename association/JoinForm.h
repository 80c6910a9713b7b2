#pragma once
// The association window: links a song file the user already has with an existing timed lyrics file. Each
// box is checked the moment its text changes (the song by playing it here, the lyrics by reading the whole
// file into the current lyrics document); "关联" asks the duplicate questions first, and only when the pair
// goes ahead rewrites the lyrics file with the song path (an LRC file, which has no song path, is left as it
// is) and saves the association record.

#include <QByteArray>
#include <QDialog>
#include <memory>

#include "platform/Services.h"
#include "store/Main.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qiva {

class MediaPlayerControl;

class JoinForm : public QDialog {
    Q_OBJECT
public:
    // ownerPlayer: the player window's engine, paused while this window is open.
    JoinForm(Main& m, Services& s, MediaPlayer& ownerPlayer, QWidget* parent = nullptr);
    ~JoinForm() override;

    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* Command1;
    QLabel* Label2;
    QLineEdit* Text2;
    QPushButton* Command2;
    MediaPlayerControl* MP;
    QPushButton* Command3;
    std::unique_ptr<FileDialog> CD1;

    // True while the box holds a path whose most recent check passed.
    bool songOk = false;
    bool lyricsOk = false;

    void done(int result) override;

public slots:
    void Command1_Click();
    void Text1_Change();
    void Command2_Click();
    void Text2_Change();
    void Command3_Click();

private:
    void Form_Load();
    void createControls();
    void layOut();
    void connectHandlers();
    // Puts a dialog's answer into a box; choosing the path the box already holds checks it again.
    void setChosenPath(QLineEdit* box, const QString& path, void (JoinForm::*check)());
    // `before` receives the file's previous bytes.
    bool rewriteLyricsFile(QByteArray& before);
    bool appendEntry();
    // Writes the record; puts the lyrics file back to `lyricsBefore` when that fails.
    bool commitEntry(const QByteArray& lyricsBefore);
    void dropNewEntry(int16_t countBefore);
    void fail(const QString& text);

    Main& m_;
    Services& s_;
    MediaPlayer& ownerPlayer_;
    LyricsFormat lyricsFormat_ = LyricsFormat::Own;  // of the file whose check passed last
};

}  // namespace qiva
