// Step three from the keyboard: the record keys whatever has the focus, taking a press back, the tenth-second
// nudges, and the corrections menu on the list.

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include "Fixture.h"
#include "Suites.h"

namespace qiva::test {

namespace {
void Key(QWidget* to, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyClick(to, Qt::Key(key), mods);
}

// A press at `seconds` into the song, from the keyboard.
void TapAt(Step3& s, double seconds, QWidget* focus, int key = Qt::Key_Space) {
    s.player().advance(seconds - s.player().CurrentPosition());
    Key(focus, key);
}

QList<int> SelectedRows(const QListWidget* list) {
    QList<int> rows;
    for (int r = 0; r < list->count(); ++r)
        if (list->item(r)->isSelected()) rows << r;
    return rows;
}
}  // namespace

class TestKeys : public QObject {
    Q_OBJECT
private slots:
    void recordKeysWorkWhateverHasTheFocus();
    void recordKeysActOnlyWhileRecordingAndNoDialogIsOpen();
    void backspaceTakesBackTheLastPress();
    void ctrlArrowsNudgeTheSelectedLines();
    void rightClickOnTheListOpensTheMenu();
    void speedBoxSetsThePlayersSpeed();
};

void TestKeys::recordKeysWorkWhateverHasTheFocus() {
    Step3 s(Lines(5));
    s.open();
    s.form->Command2_Click();
    TapAt(s, 1.0, s.form->Command4);
    // Space on the focused "请停一下" records instead of pausing; so does Enter on the speed box.
    TapAt(s, 2.0, s.form->Command3);
    TapAt(s, 3.0, s.form->SpeedBox, Qt::Key_Return);
    TapAt(s, 4.0, s.form->MP, Qt::Key_Enter);
    QCOMPARE(s.times(), (QList<int>{10, 20, 30, 40, 2400}));
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Stopped));  // the last line was reached
    QCOMPARE(s.form->SpeedBox->currentIndex(), 0);

    // A held key repeats: only its first press records.
    Step3 t(Lines(4));
    t.open();
    t.form->Command2_Click();
    t.player().advance(1.5);
    for (const bool repeat : {false, true, true}) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "), repeat);
        QApplication::sendEvent(t.form->Command4, &press);
    }
    QCOMPARE(t.times(), (QList<int>{15, 0, 0, 0}));
    QCOMPARE(int(t.form->recordLine), 2);
}

void TestKeys::recordKeysActOnlyWhileRecordingAndNoDialogIsOpen() {
    Step3 s(Lines(4));
    s.open();
    s.form->show();
    Key(s.form.get(), Qt::Key_Space);
    QCOMPARE(s.times(), (QList<int>{0, 0, 0, 0}));

    s.form->Command2_Click();
    s.player().advance(5.0);
    {
        QDialog box(s.form.get());
        box.setWindowModality(Qt::ApplicationModal);
        box.show();
        Key(s.form.get(), Qt::Key_Space);
        Key(s.form.get(), Qt::Key_Backspace);
    }
    QCOMPARE(s.times(), (QList<int>{0, 0, 0, 0}));
    Key(s.form.get(), Qt::Key_Space);
    QCOMPARE(s.times(), (QList<int>{50, 0, 0, 0}));

    // Paused, the keys are the controls' own again.
    s.form->Command3_Click();
    Key(s.form.get(), Qt::Key_Space);
    QCOMPARE(s.times(), (QList<int>{50, 0, 0, 0}));
}

void TestKeys::backspaceTakesBackTheLastPress() {
    Step3 s(Lines(5));
    s.open();
    s.form->Command2_Click();
    Key(s.form->Command4, Qt::Key_Backspace);  // nothing pressed yet: nothing to take back
    QCOMPARE(s.player().CurrentPosition(), 0.0);
    for (double at : {2.0, 20.0, 30.0}) TapAt(s, at, s.form->Command4);
    s.player().advance(1.0);

    Key(s.form->Command4, Qt::Key_Backspace);
    // Line 3 is due again, heard from 3 s before it starts (line 2 ends at 20.0 s); the song plays on.
    QCOMPARE(int(s.form->recordLine), 3);
    QCOMPARE(s.form->Label1->text(), s.text(3));
    QCOMPARE(s.player().CurrentPosition(), 17.0);
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Playing));
    TapAt(s, 25.0, s.form->Command4);
    QCOMPARE(s.times(), (QList<int>{20, 200, 250, 0, 0}));

    // Taken back twice, to line 1: the run-up stops at the song's start.
    Key(s.form->Command4, Qt::Key_Backspace);
    Key(s.form->Command4, Qt::Key_Backspace);
    Key(s.form->Command4, Qt::Key_Backspace);
    QCOMPARE(int(s.form->recordLine), 1);
    QCOMPARE(s.player().CurrentPosition(), 0.0);
}

void TestKeys::ctrlArrowsNudgeTheSelectedLines() {
    Step3 s(Lines(3));
    s.open();
    s.form->Command3_Click();
    s.setTimes({0, 100, 200});
    s.form->List1->item(1)->setSelected(true);
    Key(s.form->List1, Qt::Key_Right, Qt::ControlModifier);
    Key(s.form->List1, Qt::Key_Right, Qt::ControlModifier);
    // The floor of the menu's shifts applies: the unrecorded line 1 now ends at 0.1 s.
    QCOMPARE(s.times(), (QList<int>{1, 102, 200}));
    QCOMPARE(SelectedRows(s.form->List1), QList<int>{1});
    QCOMPARE(s.rows()[1], QStringLiteral("第2句  结束时间: 10.2 秒"));
    s.form->List1->item(2)->setSelected(true);
    Key(s.form->Command5, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(s.times(), (QList<int>{1, 101, 199}));

    // No selection, or while recording: nothing moves.
    s.form->List1->clearSelection();
    Key(s.form->List1, Qt::Key_Left, Qt::ControlModifier);
    QCOMPARE(s.times(), (QList<int>{1, 101, 199}));
}

void TestKeys::rightClickOnTheListOpensTheMenu() {
    Step3 s(Lines(3));
    s.open();
    s.form->show();
    QListWidget* list = s.form->List1;
    auto rightClick = [&](int row) {
        const QPoint at = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, at);
        QContextMenuEvent menu(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &menu);
    };
    rightClick(0);  // the list is still disabled
    QVERIFY(!s.form->popit->isVisible());

    s.form->Command3_Click();
    s.setTimes({10, 20, 30});
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    rightClick(2);
    QVERIFY(s.form->popit->isVisible());
    // The click neither changes the selection the menu works on nor chooses a line to record from.
    QCOMPARE(SelectedRows(list), (QList<int>{0, 2}));
    QCOMPARE(s.boxes(), QStringList{});
    s.form->popit->close();
}

void TestKeys::speedBoxSetsThePlayersSpeed() {
    Step3 s(Lines(3));
    s.open();
    QCOMPARE(s.form->SpeedBox->count(), 3);
    s.form->SpeedBox->setCurrentIndex(2);
    QCOMPARE(s.player().speed(), 50);
    // Song time at half speed: two seconds heard are one second of the song, and the press stores that.
    s.form->Command2_Click();
    s.player().advance(2.0);
    s.form->Command4_Click();
    QCOMPARE(s.t(1), 10);
}

int RunTestKeys(int argc, char** argv) {
    TestKeys t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestKeys.moc"
