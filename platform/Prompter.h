#pragma once
// Modal message boxes with a fixed text and title (OK, or Yes and No; no icon) and the input box.

#include <QString>

namespace qiva {

// The title of every error box the windows show.
inline const QString kErrorTitle = QStringLiteral("错误！");

class Prompter {
public:
    virtual ~Prompter() = default;
    // An OK-only box.
    virtual void MsgBox(const QString& text, const QString& title) = 0;
    // A Yes/No question; true means Yes.
    virtual bool AskYesNo(const QString& text, const QString& title) = 0;
    // The input box: prompt, title, default answer, OK and Cancel; "" when cancelled.
    virtual QString InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) = 0;
};

}  // namespace qiva
