// Step three from the keyboard: while recording, Space and Enter record as "单击这里记录" does and
// Backspace takes the last press back; while the list is enabled Ctrl+Left and Ctrl+Right move the selected
// lines by a tenth of a second. The keys are taken before the control with the focus sees them, so a
// focused button or the list never eats a tap meant for the record button.

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "wizard/EditForm3.h"
#include "wizard/TimingCorrections.h"

namespace qiva {

namespace {
// How far before the taken-back line recording goes on, so that the moment is heard coming.
constexpr double kRunUpSeconds = 3.0;
constexpr int kTenth = 1;

bool IsRecordKey(int key) { return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter; }
}  // namespace

void EditForm3::installKeys() {
    qApp->installEventFilter(this);
    Command4->setToolTip(QStringLiteral("也可以按空格键或回车键记录；按退格键重新记录上一句"));
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Form_MouseUp(Qt::RightButton, List1->viewport()->mapToGlobal(at)); });
}

bool EditForm3::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return QWidget::eventFilter(watched, event);
    auto* target = qobject_cast<QWidget*>(watched);
    // An input box or message box of this window is a window of its own; and while any is open the keys
    // belong to it.
    const QWidget* modal = QApplication::activeModalWidget();
    if (target == nullptr || (target != this && !isAncestorOf(target)) || (modal && modal != this) ||
        QApplication::activePopupWidget())
        return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const KeyAction action = actionFor(*key);
    if (action == KeyAction::None) return QWidget::eventFilter(watched, event);
    // The release and a held key's repeats are swallowed too: one tap, one press.
    if (type == QEvent::KeyPress && !key->isAutoRepeat()) runKey(action);
    return true;
}

EditForm3::KeyAction EditForm3::actionFor(const QKeyEvent& key) const {
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    if (Command4->isEnabled() && mods == Qt::NoModifier) {
        if (IsRecordKey(key.key())) return KeyAction::Record;
        if (key.key() == Qt::Key_Backspace) return KeyAction::TakeBack;
    }
    if (List1->isEnabled() && mods == Qt::ControlModifier) {
        if (key.key() == Qt::Key_Left) return KeyAction::Earlier;
        if (key.key() == Qt::Key_Right) return KeyAction::Later;
    }
    return KeyAction::None;
}

void EditForm3::runKey(KeyAction action) {
    switch (action) {
        case KeyAction::Record:
            Command4_Click();
            break;
        case KeyAction::TakeBack:
            takeBackPress();
            break;
        case KeyAction::Earlier:
            nudgeSelected(-kTenth);
            break;
        case KeyAction::Later:
            nudgeSelected(kTenth);
            break;
        case KeyAction::None:
            break;
    }
}

void EditForm3::takeBackPress() {
    keepRecordLineInRange();
    if (recordLine <= 1) return;
    // As a click on the row of the line last recorded: it becomes the line to record, its time stays until
    // the next press replaces it.
    --recordLine;
    Label1->setText(line(recordLine).text);
    const int16_t start = recordLine > 1 ? line(recordLine - 1).endTime : int16_t{0};
    MP->setCurrentPosition(std::max(0.0, start / 10.0 - kRunUpSeconds));
}

void EditForm3::nudgeSelected(int delta) {
    QList<int> rows;
    for (int r = 0; r < List1->count(); ++r)
        if (List1->item(r)->isSelected()) rows << r;
    if (rows.isEmpty()) return;
    const int current = List1->currentRow();
    shift(delta, true);
    // The refill drops the selection; a nudge puts it back, so that the same lines can be moved again.
    for (int r : rows)
        if (QListWidgetItem* item = List1->item(r)) item->setSelected(true);
    if (current >= 0) List1->setCurrentRow(current, QItemSelectionModel::NoUpdate);
}

}  // namespace qiva
