// Start-up: the font loading on a second thread never holds up the program, with or without an
// application, and the main thread can use fonts while it runs; work put off until the first paint runs
// once, after it, and never for a window that is gone; the display settings leave the user's own.

#include <QFontDatabase>
#include <QFontMetrics>
#include <QtTest>

#include "app/FirstPaint.h"
#include "app/FontPreload.h"
#include "app/Startup.h"
#include "platform/Layout.h"

using namespace qiva;

namespace {
// Counts a window's paint events as they are delivered.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};
}  // namespace

class StartupTests : public QObject {
    Q_OBJECT
private slots:
    void stopsWhenNoApplicationComes();
    void mainThreadUsesFontsWhileItLoads();
    void afterFirstPaintRunsOnceAfterThePaint();
    void afterFirstPaintNeverRunsForAGoneWindow();
    void displaySettingsKeepTheUsersChoice();
};

void StartupTests::stopsWhenNoApplicationComes() {
    // A program that ends before its QApplication exists must not wait for one.
    for (int i = 0; i < 20; ++i) {
        FontPreload fonts;
        fonts.Finish();
        fonts.Finish();  // a second wait is harmless, and so is the destructor's
    }
    FontPreload dropped;  // destroyed unfinished
}

void StartupTests::mainThreadUsesFontsWhileItLoads() {
    for (int i = 0; i < 20; ++i) {
        FontPreload fonts;
        fonts.ApplicationReady();
        // The first label of the player window measures its text while the thread is filling the database.
        QVERIFY(QFontMetrics(SongFont(14.25, true)).horizontalAdvance(QStringLiteral("第一行歌词")) > 0);
        fonts.Finish();
    }
    QVERIFY(QFontDatabase::hasFamily(QStringLiteral("AR PL SungtiL GB")));
}

void StartupTests::afterFirstPaintRunsOnceAfterThePaint() {
    QWidget window;
    window.resize(200, 100);
    PaintCounter counter;
    window.installEventFilter(&counter);
    int runs = 0;
    int paintsWhenRun = -1;
    AfterFirstPaint(&window, [&] {
        ++runs;
        paintsWhenRun = counter.paints;
    });
    QCoreApplication::processEvents();
    QCOMPARE(runs, 0);  // not shown, not painted
    window.show();
    QTRY_COMPARE(runs, 1);
    QVERIFY(paintsWhenRun >= 1);
    window.update();
    window.repaint();
    QTest::qWait(50);
    QCOMPARE(runs, 1);
}

void StartupTests::afterFirstPaintNeverRunsForAGoneWindow() {
    int runs = 0;
    {
        QWidget window;
        window.show();
        AfterFirstPaint(&window, [&] { ++runs; });
    }  // gone before the event loop painted it
    QTest::qWait(50);
    QCOMPARE(runs, 0);
    AfterFirstPaint(nullptr, [&] { ++runs; });  // nothing to wait for: nothing runs
    QTest::qWait(20);
    QCOMPARE(runs, 0);
}

void StartupTests::displaySettingsKeepTheUsersChoice() {
    const QByteArray saved = qgetenv("QT_XCB_NO_MITSHM");
    qunsetenv("QT_XCB_NO_MITSHM");
    ChooseDisplaySettings();
    QCOMPARE(qgetenv("QT_XCB_NO_MITSHM"), QByteArray("1"));
    qputenv("QT_XCB_NO_MITSHM", QByteArray("0"));  // a user who wants shared memory keeps it
    ChooseDisplaySettings();
    QCOMPARE(qgetenv("QT_XCB_NO_MITSHM"), QByteArray("0"));
    if (saved.isNull())
        qunsetenv("QT_XCB_NO_MITSHM");
    else
        qputenv("QT_XCB_NO_MITSHM", saved);
}

int RunStartupTests(int argc, char** argv) {
    StartupTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "StartupTests.moc"
