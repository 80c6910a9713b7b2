// The start-up font loading on a second thread: it never holds up the program, with or without an
// application, and the main thread can use fonts while it runs.

#include <QFontDatabase>
#include <QFontMetrics>
#include <QtTest>

#include "app/FontPreload.h"
#include "platform/Layout.h"

using namespace qiva;

class FontPreloadTests : public QObject {
    Q_OBJECT
private slots:
    void stopsWhenNoApplicationComes();
    void mainThreadUsesFontsWhileItLoads();
};

void FontPreloadTests::stopsWhenNoApplicationComes() {
    // A program that ends before its QApplication exists must not wait for one.
    for (int i = 0; i < 20; ++i) {
        FontPreload fonts;
        fonts.Finish();
        fonts.Finish();  // a second wait is harmless, and so is the destructor's
    }
    FontPreload dropped;  // destroyed unfinished
}

void FontPreloadTests::mainThreadUsesFontsWhileItLoads() {
    for (int i = 0; i < 20; ++i) {
        FontPreload fonts;
        fonts.ApplicationReady();
        // The first label of the player window measures its text while the thread is filling the database.
        QVERIFY(QFontMetrics(SongFont(14.25, true)).horizontalAdvance(QStringLiteral("第一行歌词")) > 0);
        fonts.Finish();
    }
    QVERIFY(QFontDatabase::hasFamily(QStringLiteral("AR PL SungtiL GB")));
}

int RunFontPreloadTests(int argc, char** argv) {
    FontPreloadTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "FontPreloadTests.moc"
