// Step three's corrections: the popup menu and its shifts, choosing a line to record again, replacing a text.

#include <QLabel>
#include <QMenu>
#include <QTest>

#include "Fixture.h"
#include "Suites.h"
#include "wizard/ExpandMarks.h"

namespace qiva::test {

namespace {
const QString kFirstRow = QStringLiteral("ok|错误|上一条的结束时间还没有确定！不能编辑这一条！");

// A window after a pause, the list enabled, with the given end times.
void Paused(Step3& s, const std::vector<int>& times) {
    s.open();
    s.form->Command2_Click();
    s.form->Command3_Click();
    s.setTimes(times);
}

void Select(Step3& s, const QList<int>& rows) {
    for (int r : rows) s.form->List1->item(r)->setSelected(true);
}
}  // namespace

class TestCorrections : public QObject {
    Q_OBJECT
private slots:
    void rightClickOnTheWindowOpensTheMenu();
    void rightClickElsewhereOpensNoMenu();
    void menuItemsRunTheShifts();
    void shifts_data();
    void shifts();
    void shiftAfterEditingOpenedWithoutRows();
    void severalRowsCanBeSelectedWithTheMouse();
    void clickOnTheFirstRowIsRefused();
    void clickOnAChosenRowSeeksAndPauses_data();
    void clickOnAChosenRowSeeksAndPauses();
    void clickWithoutASongStillChoosesTheLine();
    void clicksWithoutACurrentRowAreIgnored();
    void doubleClickReplacesTheText();
    void doubleClickCancelledEmptiesTheText();
    void doubleClickRefusesADoubleQuote();
    void mouseClicksReachTheHandlers();
};

void TestCorrections::rightClickOnTheWindowOpensTheMenu() {
    Step3 s(Lines(3));
    Paused(s, {10, 20, 30});
    s.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
    // A bare spot of the window: right of the list, above Label3.
    const QPoint bare(s.form->List1->geometry().right() + 10, s.form->List1->geometry().top() + 2);
    QVERIFY(s.form->childAt(bare) == nullptr);
    QTest::mouseClick(s.form.get(), Qt::RightButton, {}, bare);
    QTRY_VERIFY(s.form->popit->isVisible());
    s.form->popit->hide();
    // A left click opens nothing.
    QTest::mouseClick(s.form.get(), Qt::LeftButton, {}, bare);
    QVERIFY(!s.form->popit->isVisible());
}

void TestCorrections::rightClickElsewhereOpensNoMenu() {
    Step3 s(Lines(3));
    s.open();
    s.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
    const QPoint bare(s.form->List1->geometry().right() + 10, s.form->List1->geometry().top() + 2);
    // The list is disabled before a pause and during recording.
    QTest::mouseClick(s.form.get(), Qt::RightButton, {}, bare);
    s.form->Command2_Click();
    QTest::mouseClick(s.form.get(), Qt::RightButton, {}, bare);
    s.form->Form_MouseUp(Qt::RightButton, QPoint(10, 10));
    QVERIFY(!s.form->popit->isVisible());
    // With the list enabled, a right click on a label or on the list itself is not a click on the window.
    s.form->Command3_Click();
    QTest::mouseClick(s.form.get(), Qt::RightButton, {}, s.form->Label3->geometry().center());
    QTest::mouseClick(s.form->List1->viewport(), Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(!s.form->popit->isVisible());
    // Nor is a right click on a row a click that chooses it (the first row would be refused).
    QCOMPARE(s.boxes(), QStringList{});
}

void TestCorrections::menuItemsRunTheShifts() {
    Step3 s(Lines(3));
    Paused(s, {3, 0, 120});
    s.form->allfast->trigger();
    QCOMPARE(s.times(), (QList<int>{1, 1, 115}));
    s.form->allslow->trigger();
    QCOMPARE(s.times(), (QList<int>{6, 6, 120}));
    Select(s, {0});
    s.form->selectslow->trigger();
    QCOMPARE(s.times(), (QList<int>{11, 6, 120}));
    Select(s, {2});
    s.form->selectfast->trigger();
    QCOMPARE(s.times(), (QList<int>{11, 6, 115}));
}

void TestCorrections::shifts_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<int>>("after");
    QTest::newRow("全部歌词提前半秒")
        << "allfast" << QList<int>{3, 0, 120} << QList<int>{} << QList<int>{1, 1, 115};
    QTest::newRow("全部歌词延后半秒")
        << "allslow" << QList<int>{0, 120} << QList<int>{} << QList<int>{5, 125};
    QTest::newRow("选中歌词延后半秒, second row")
        << "selectslow" << QList<int>{0, 100, 200} << QList<int>{1} << QList<int>{1, 105, 200};
    QTest::newRow("选中歌词提前半秒, rows 1 and 3")
        << "selectfast" << QList<int>{50, 0, 200, 4} << QList<int>{0, 2} << QList<int>{45, 1, 195, 4};
    QTest::newRow("选中 with nothing selected lifts zeros")
        << "selectfast" << QList<int>{0, 100} << QList<int>{} << QList<int>{1, 100};
    QTest::newRow("延后 at the top of the range")
        << "allslow" << QList<int>{32764, 32760} << QList<int>{} << QList<int>{32764, 32765};
}

void TestCorrections::shifts() {
    QFETCH(QString, command);
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, after);
    Step3 s(Lines(static_cast<int>(before.size())));
    Paused(s, std::vector<int>(before.begin(), before.end()));
    Select(s, selected);
    QMetaObject::invokeMethod(s.form.get(), (command + "_Click").toLatin1().constData());
    QCOMPARE(s.times(), after);
    // The list is refilled: it shows the new times and nothing stays selected.
    QCOMPARE(s.rows().size(), before.size());
    const int last = after.constLast();
    QVERIFY(
        s.rows().constLast().endsWith(QStringLiteral("结束时间: %1.%2 秒").arg(last / 10).arg(last % 10)));
    QVERIFY(s.form->List1->selectedItems().isEmpty());
}

void TestCorrections::shiftAfterEditingOpenedWithoutRows() {
    // Opened for editing, the list has no rows: the missing rows count as not selected.
    Step3 s(Lines(3));
    s.m.editMode = true;
    s.open();
    s.form->Command5_Click();  // cancelled import: the list is enabled but still empty
    QCOMPARE(s.form->List1->count(), 0);
    s.m.lyricLines[2].endTime = 40;
    s.form->selectslow_Click();
    QCOMPARE(s.times(), (QList<int>{1, 40, 1}));
    QCOMPARE(s.form->List1->count(), 3);
}

void TestCorrections::severalRowsCanBeSelectedWithTheMouse() {
    Step3 s(Lines(4));
    Paused(s, {10, 20, 30, 40});
    s.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
    QListWidget* list = s.form->List1;
    const auto centre = [list](int row) { return list->visualItemRect(list->item(row)).center(); };
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre(1));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, centre(3));
    QCOMPARE(list->selectedItems().size(), 2);
    QVERIFY(list->item(1)->isSelected() && list->item(3)->isSelected());
    s.ts.prompter.boxes.clear();
    s.form->selectslow_Click();
    QCOMPARE(s.times(), (QList<int>{10, 25, 30, 45}));
}

void TestCorrections::clickOnTheFirstRowIsRefused() {
    Step3 s(Lines(3));
    Paused(s, {10, 20, 30});
    s.form->List1->setCurrentRow(0);
    const QStringList callsBefore = s.player().calls;
    s.form->List1_Click();
    QCOMPARE(s.boxes(), QStringList{kFirstRow});
    QCOMPARE(s.player().calls, callsBefore);
    QVERIFY(!s.form->Command2->isEnabled());
}

void TestCorrections::clickOnAChosenRowSeeksAndPauses_data() {
    QTest::addColumn<bool>("playing");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("paused player") << false << QStringList{"Play", "Seek 45", "Pause"};
    QTest::newRow("playing player") << true << QStringList{"Pause", "Seek 45"};
}

void TestCorrections::clickOnAChosenRowSeeksAndPauses() {
    QFETCH(bool, playing);
    QFETCH(QStringList, calls);
    Step3 s(Lines(5));
    Paused(s, {100, 200, 457, 0, 0});
    if (playing) s.player().Play();
    s.player().calls.clear();
    s.form->List1->setCurrentRow(3);
    s.form->List1_Click();
    QCOMPARE(int(s.form->recordLine), 4);
    QCOMPARE(s.player().calls, calls);
    QCOMPARE(s.player().CurrentPosition(), 45.0);
    QCOMPARE(s.player().PlayState(), int(MediaPlayer::Paused));
    QVERIFY(s.form->Command2->isEnabled());
    QCOMPARE(s.boxes(), QStringList{});
}

void TestCorrections::clickWithoutASongStillChoosesTheLine() {
    Step3 s(Lines(3));
    s.m.lyricSongPath = QStringLiteral("/nowhere/gone.mp3");
    s.open();
    s.form->Command3_Click();
    s.setTimes({10, 20, 30});
    s.form->List1->setCurrentRow(2);
    s.form->List1_Click();
    QCOMPARE(int(s.form->recordLine), 3);
    QVERIFY(s.form->Command2->isEnabled());
    s.form->Command2_Click();
    QCOMPARE(s.boxes(), QStringList{"ok|错误！|还没有指定音乐文件！"});
}

void TestCorrections::clicksWithoutACurrentRowAreIgnored() {
    Step3 s(Lines(3));
    Paused(s, {10, 20, 30});
    s.form->recordLine = 2;
    QCOMPARE(s.form->List1->currentRow(), -1);
    s.form->List1_Click();
    s.form->List1_DblClick();
    QCOMPARE(s.boxes(), QStringList{});
    QCOMPARE(int(s.form->recordLine), 2);
    QCOMPARE(s.m.lyricLines[0].text, QString());
    QCOMPARE(s.text(1), QStringLiteral("第1句"));
}

void TestCorrections::doubleClickReplacesTheText() {
    Step3 s(Lines(3));
    Paused(s, {10, 20, 30});
    s.ts.prompter.inputAnswers.push_back(QStringLiteral("  新的一句  "));
    s.form->List1->setCurrentRow(1);
    s.form->List1_DblClick();
    QCOMPARE(s.ts.prompter.boxes.size(), size_t{1});
    const ScriptedPrompter::Box& box = s.ts.prompter.boxes.front();
    QCOMPARE(box.kind, QStringLiteral("input"));
    QCOMPARE(box.text, QStringLiteral("将 第2句  换成"));
    QCOMPARE(box.title, QStringLiteral("替换"));
    QCOMPARE(box.defaultAnswer, QStringLiteral("第2句"));
    QCOMPARE(s.text(2), QStringLiteral("  新的一句  "));
    QCOMPARE(s.rows().at(1), QStringLiteral("  新的一句  结束时间: 2.0 秒"));
    QCOMPARE(s.times(), (QList<int>{10, 20, 30}));
}

void TestCorrections::doubleClickCancelledEmptiesTheText() {
    Step3 s(Lines(3));
    Paused(s, {10, 20, 30});
    s.ts.prompter.inputAnswers.push_back(QString());  // Cancel answers ""
    s.form->List1->setCurrentRow(2);
    s.form->List1_DblClick();
    QCOMPARE(s.text(3), QString());
    QCOMPARE(s.rows().at(2), QStringLiteral("  结束时间: 3.0 秒"));
}

void TestCorrections::doubleClickRefusesADoubleQuote() {
    Step3 s(Lines(3));
    Paused(s, {10, 20, 30});
    s.ts.prompter.inputAnswers.push_back(QStringLiteral("他说\"好\""));
    s.form->List1->setCurrentRow(1);
    s.form->List1_DblClick();
    QCOMPARE(s.text(2), QStringLiteral("第2句"));  // the document stays saveable
    QCOMPARE(s.ts.prompter.boxes.back().text, kNoDoubleQuotes);
    QCOMPARE(s.ts.prompter.boxes.back().title, QStringLiteral("错误！"));
}

void TestCorrections::mouseClicksReachTheHandlers() {
    Step3 s(Lines(3));
    Paused(s, {10, 20, 30});
    s.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.form.get()));
    QListWidget* list = s.form->List1;
    const QPoint row3 = list->visualItemRect(list->item(2)).center();
    s.ts.prompter.inputAnswers.push_back(QStringLiteral("换了"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row3);
    QCOMPARE(int(s.form->recordLine), 3);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, row3);
    QCOMPARE(s.text(3), QStringLiteral("换了"));
    QCOMPARE(s.ts.prompter.boxes.size(), size_t{1});
}

int RunTestCorrections(int argc, char** argv) {
    TestCorrections t;
    return QTest::qExec(&t, argc, argv);
}

}  // namespace qiva::test

#include "TestCorrections.moc"
