// Step three's corrections: re-recording from a chosen line, replacing a line's text and the half-second
// shifts of the popup menu. They are offered only while the list is enabled, never while recording.

#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>

#include "wizard/EditForm3.h"
#include "wizard/ExpandMarks.h"
#include "wizard/TimingCorrections.h"

namespace qiva {

void EditForm3::mouseReleaseEvent(QMouseEvent* event) {
    // Labels pass their clicks on to the window; only the window's bare surface counts as the form.
    if (childAt(event->position().toPoint()) == nullptr)
        Form_MouseUp(event->button(), event->globalPosition().toPoint());
    QWidget::mouseReleaseEvent(event);
}

void EditForm3::Form_MouseUp(Qt::MouseButton button, const QPoint& globalPos) {
    if (button == Qt::RightButton && List1->isEnabled()) popit->popup(globalPos);
}

void EditForm3::List1_Click() {
    const int k = List1->currentRow();
    // Without a current row there is no line to choose (and no line before it to read).
    if (k < 0 || k >= lineCount()) return;
    const int16_t before = line(k).endTime;
    if (before == 0) {
        s_.prompter.MsgBox(QStringLiteral("上一条的结束时间还没有确定！不能编辑这一条！"),
                           QStringLiteral("错误"));
        return;
    }
    recordLine = static_cast<int16_t>(k + 1);
    const int start = StartSeconds(before);
    try {
        if (MP->PlayState() == MediaPlayer::Playing) {
            MP->Pause();
            MP->setCurrentPosition(start);
        } else {
            MP->Play();
            MP->setCurrentPosition(start);
            MP->Pause();
        }
    } catch (const PlayerError&) {
        // No song is loaded: the line is still chosen, and "开始记录" reports the missing song.
    }
    Command2->setEnabled(true);
}

void EditForm3::List1_DblClick() {
    const int k = List1->currentRow();
    if (k < 0 || k >= lineCount()) return;
    LyricLine& l = line(k + 1);
    const QString answer = s_.prompter.InputBox(QStringLiteral("将 ") + l.text + QStringLiteral("  换成"),
                                                QStringLiteral("替换"), l.text);
    // A double quote would end the line's field early in the saved file: refused, the line keeps its text.
    if (answer.contains(QLatin1Char('"'))) {
        s_.prompter.MsgBox(kNoDoubleQuotes, kErrorTitle);
        return;
    }
    l.text = answer;
    flashlistview();
}

void EditForm3::shift(int delta, bool selectedOnly) {
    ShiftEndTimes(m_.lyricLines, lineCount(), delta, [this, selectedOnly](int i) {
        if (!selectedOnly) return true;
        // A row the list does not hold (an empty list of a window opened for editing) is not selected.
        const QListWidgetItem* row = List1->item(i - 1);
        return row != nullptr && row->isSelected();
    });
    flashlistview();
}

void EditForm3::allfast_Click() { shift(-kHalfSecond, false); }
void EditForm3::allslow_Click() { shift(kHalfSecond, false); }
void EditForm3::selectfast_Click() { shift(-kHalfSecond, true); }
void EditForm3::selectslow_Click() { shift(kHalfSecond, true); }

}  // namespace qiva
