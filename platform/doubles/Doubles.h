#pragma once
// Test doubles of the platform services: a media player on a virtual clock, scripted file dialogs and
// message boxes, and a navigation point that records where windows hand over.

#include <QHash>
#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "platform/Services.h"

namespace qiva::test {

class FakePlayerFactory;

// A player whose clock moves only when the test calls advance(). It plays the songs its factory knows.
class FakeMediaPlayer : public MediaPlayer {
    Q_OBJECT
public:
    FakeMediaPlayer(FakePlayerFactory& factory, bool autoStart);
    ~FakeMediaPlayer() override;

    // Moves the virtual clock; while playing the position moves with it and the end of the song stops it.
    void advance(double seconds);
    // Every call made on this player, in order: "FileName <path>", "Play", "Pause", "Stop", "Seek <s>".
    QStringList calls;
    bool failNextPlay = false;
    mutable int positionReads = 0;  // how often the position was asked for

protected:
    void doOpen(const QString& path) override;
    void doClose() override;
    void doStart() override;
    void doPause() override;
    void doStop() override;
    void doSeek(double seconds) override;
    double doPosition() const override {
        ++positionReads;
        return position_;
    }
    double doDuration() const override { return duration_; }
    bool hasFile() const override { return open_; }

private:
    FakePlayerFactory* factory_;
    bool open_ = false;
    double position_ = 0;
    double duration_ = 0;
};

class FakePlayerFactory : public MediaPlayerFactory {
public:
    std::unique_ptr<MediaPlayer> create(bool autoStart) override;
    // Songs the fake players can open, with their length in seconds. Other paths fail to open.
    QHash<QString, double> songs;
    // When set, any non-empty path opens with this length.
    double anyPathDuration = -1;
    // The players made so far, in order (a player removes itself when destroyed).
    std::vector<FakeMediaPlayer*> players;
    FakeMediaPlayer* last() const { return players.empty() ? nullptr : players.back(); }
    // Advances every live player's clock.
    void advanceAll(double seconds);
};

// A dialog that answers from a queue, as the user's typed name; an empty queue answers "" (cancel). A Save
// As then adds the chosen filter's extension as the real dialog does.
class ScriptedFileDialog : public FileDialog {
public:
    struct Showing {
        Kind kind;
        QString filter;
        QString initDir;
        int flags;
        QString fileNameBefore;
        int filterIndexBefore;
    };
    explicit ScriptedFileDialog(class ScriptedDialogFactory& factory) : factory_(&factory) {}

protected:
    QString run(Kind kind) override;

private:
    ScriptedDialogFactory* factory_;
};

class ScriptedDialogFactory : public FileDialogFactory {
public:
    std::unique_ptr<FileDialog> create(QWidget* parent) override;
    std::deque<QString> answers;                     // shared by every dialog this factory made
    std::deque<int> filterAnswers;                   // the filter the user leaves chosen; none: unchanged
    std::vector<ScriptedFileDialog::Showing> shown;  // every showing, in order
};

// Message and input boxes answered from queues. Unscripted questions answer Yes; unscripted input boxes
// return their default answer.
class ScriptedPrompter : public Prompter {
public:
    struct Box {
        QString kind;  // "ok", "yesno" or "input"
        QString text;
        QString title;
        QString defaultAnswer;
    };
    void MsgBox(const QString& text, const QString& title) override;
    bool AskYesNo(const QString& text, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) override;

    std::deque<bool> yesNoAnswers;
    std::deque<QString> inputAnswers;
    std::vector<Box> boxes;
    QStringList texts() const;
};

class RecordingNavigation : public Navigation {
public:
    void ShowPlayer() override { calls << QStringLiteral("ShowPlayer"); }
    void ShowStepOne() override { calls << QStringLiteral("ShowStepOne"); }
    void ShowStepTwo() override { calls << QStringLiteral("ShowStepTwo"); }
    void ShowStepThree() override { calls << QStringLiteral("ShowStepThree"); }
    void ShowJoinForm(QWidget*, MediaPlayer&) override { calls << QStringLiteral("ShowJoinForm"); }
    QStringList calls;
};

// Everything a window needs, as doubles, in one place.
struct TestServices {
    FakePlayerFactory players;
    ScriptedDialogFactory dialogs;
    ScriptedPrompter prompter;
    RecordingNavigation nav;
    Services services{players, dialogs, prompter, nav};
};

}  // namespace qiva::test
