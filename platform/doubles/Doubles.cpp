#include "platform/doubles/Doubles.h"

#include <algorithm>

namespace qiva::test {

FakeMediaPlayer::FakeMediaPlayer(FakePlayerFactory& factory, bool autoStart)
    : MediaPlayer(autoStart), factory_(&factory) {
    factory_->players.push_back(this);
}

FakeMediaPlayer::~FakeMediaPlayer() {
    auto& list = factory_->players;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void FakeMediaPlayer::advance(double seconds) {
    if (PlayState() != Playing) return;
    // `seconds` is the listener's time: slowed down, the song moves on by less.
    position_ += speed() == 100 ? seconds : seconds * speed() / 100.0;
    if (position_ >= duration_) {
        position_ = duration_;
        reachedEnd();
    }
}

void FakeMediaPlayer::doOpen(const QString& path) {
    calls << QStringLiteral("FileName ") + path;
    double length = -1;
    if (factory_->songs.contains(path))
        length = factory_->songs.value(path);
    else if (!path.isEmpty() && factory_->anyPathDuration >= 0)
        length = factory_->anyPathDuration;
    if (length < 0) throw PlayerError("cannot play " + path.toStdString());
    open_ = true;
    duration_ = length;
    position_ = 0;
}

void FakeMediaPlayer::doClose() {
    open_ = false;
    duration_ = 0;
    position_ = 0;
}

void FakeMediaPlayer::doStart() {
    calls << QStringLiteral("Play");
    if (failNextPlay) {
        failNextPlay = false;
        throw PlayerError("play failed");
    }
    if (position_ >= duration_) position_ = 0;
}

void FakeMediaPlayer::doPause() { calls << QStringLiteral("Pause"); }

void FakeMediaPlayer::doStop() {
    calls << QStringLiteral("Stop");
    position_ = 0;
}

void FakeMediaPlayer::doSeek(double seconds) {
    calls << QStringLiteral("Seek %1").arg(seconds);
    position_ = seconds;
}

std::unique_ptr<MediaPlayer> FakePlayerFactory::create(bool autoStart) {
    return std::make_unique<FakeMediaPlayer>(*this, autoStart);
}

void FakePlayerFactory::advanceAll(double seconds) {
    const auto live = players;  // a player may stop and a handler may destroy another meanwhile
    for (FakeMediaPlayer* p : live)
        if (std::find(players.begin(), players.end(), p) != players.end()) p->advance(seconds);
}

QString ScriptedFileDialog::run(Kind kind) {
    factory_->shown.push_back({kind, Filter, InitDir, Flags, FileName, FilterIndex});
    if (!factory_->filterAnswers.empty()) {
        FilterIndex = factory_->filterAnswers.front();
        factory_->filterAnswers.pop_front();
    }
    if (factory_->answers.empty()) return {};
    QString answer = factory_->answers.front();
    factory_->answers.pop_front();
    return answer;
}

std::unique_ptr<FileDialog> ScriptedDialogFactory::create(QWidget*) {
    return std::make_unique<ScriptedFileDialog>(*this);
}

void ScriptedPrompter::MsgBox(const QString& text, const QString& title) {
    boxes.push_back({QStringLiteral("ok"), text, title, {}});
}

bool ScriptedPrompter::AskYesNo(const QString& text, const QString& title) {
    boxes.push_back({QStringLiteral("yesno"), text, title, {}});
    if (yesNoAnswers.empty()) return true;
    const bool answer = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return answer;
}

QString ScriptedPrompter::InputBox(const QString& prompt, const QString& title,
                                   const QString& defaultAnswer) {
    boxes.push_back({QStringLiteral("input"), prompt, title, defaultAnswer});
    if (inputAnswers.empty()) return defaultAnswer;
    QString answer = inputAnswers.front();
    inputAnswers.pop_front();
    return answer;
}

QStringList ScriptedPrompter::texts() const {
    QStringList out;
    for (const Box& b : boxes) out << b.text;
    return out;
}

}  // namespace qiva::test
