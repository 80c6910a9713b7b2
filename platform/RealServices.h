#pragma once
// The real platform services of the program.

#include "platform/Services.h"

namespace qiva {

// Players on the real audio engine: every song format, and PulseAudio output, or a null output paced by
// the steady clock where no sound server answers or QIVA_AUDIO=null asks for it.
class RealPlayerFactory : public MediaPlayerFactory {
public:
    std::unique_ptr<MediaPlayer> create(bool autoStart) override;
};

// Qt's own (non-native) file dialog, modal over the hosting window.
class QtFileDialogFactory : public FileDialogFactory {
public:
    std::unique_ptr<FileDialog> create(QWidget* parent) override;
};

// Modal boxes over the active window; no icon.
class QtPrompter : public Prompter {
public:
    void MsgBox(const QString& text, const QString& title) override;
    bool AskYesNo(const QString& text, const QString& title) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) override;
};

// Turns "MP3 Files(*.MP3)|*.MP3" into Qt's "MP3 Files(*.MP3) (*.MP3 *.mp3)": the pattern matches any letter
// case, as the names on a Windows disk did.
QString QtFilterFor(const QString& filter);

}  // namespace qiva
