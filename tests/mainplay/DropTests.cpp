// Songs dropped onto the player window: which songs become associations, the record file, the rows and the
// one message; the table's limit.

#include <QDropEvent>
#include <QMimeData>
#include <QWindow>
#include <QtTest>

#include "Fixture.h"
#include "store/Codec.h"

using namespace qiva;
using namespace qiva::test;

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

// A drag from a file manager that enters the window over `where` and is dropped there, delivered to the
// window's native window as the display delivers it. Returns the action the drop was taken with.
Qt::DropAction Drop(MainPlay& w, const QList<QUrl>& urls, QWidget* where,
                    Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
    QMimeData data;
    data.setUrls(urls);
    const QPointF at = where->mapTo(&w, where->rect().center());
    QDragEnterEvent enter(at.toPoint(), offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.windowHandle(), &enter);
    QDropEvent drop(at, offered, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w.windowHandle(), &drop);
    PlayerFixture::settle();
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

QUrl Url(const QString& path) { return QUrl::fromLocalFile(path); }

}  // namespace

class DropTests : public QObject {
    Q_OBJECT
private slots:
    void aDroppedTreeAddsTheSongsWithLyrics();
    void aDropPastTheLimitWritesNothing();
};

void DropTests::aDroppedTreeAddsTheSongsWithLyrics() {
    PlayerFixture f;
    const QString root = f.path(QStringLiteral("歌曲"));
    for (const char* name :
         {"a.mp3", "a.lrc", "b.MP3", "B.TXT", "c.mp3", "c.m4a", "d.mp3", "d.txt", "d.LRC", "notes.txt",
          "sub/f.mp3", "sub/f.txt", "sub/g.FLAC", "sub/g.lrc", "sub/deeper/e.Mp3", "sub/deeper/e.lrc"}) {
        const QString path = QDir(root).filePath(QString::fromUtf8(name));
        QDir().mkpath(QFileInfo(path).path());
        f.writeBytes(QDir(f.dir.path()).relativeFilePath(path), "x");
    }
    const auto in = [&](const char* name) { return QDir(root).filePath(QString::fromUtf8(name)); };
    f.associate(in("a.mp3"), in("a.lrc"));
    f.associate(in("d.mp3"), f.path("d.TXT"));
    MainPlay& w = f.open();
    w.show();
    w.List1->setCurrentRow(1);
    // Leaving step three without "完成" keeps the edit flag; adding songs writes all the same.
    f.m.editMode = true;

    // Only local files are taken, and never by a move, which would let the file manager take them away.
    QCOMPARE(Drop(w, {QUrl("https://example.com/a.mp3")}, w.List1), Qt::IgnoreAction);
    QCOMPARE(Drop(w, {Url(root)}, w.List1, Qt::MoveAction), Qt::IgnoreAction);
    QVERIFY(f.ts.prompter.boxes.empty());

    QCOMPARE(Drop(w, {Url(root), Url(in("b.MP3")), Url(in("notes.txt")), QUrl("https://example.com/x.mp3")},
                  w.List1),
             Qt::CopyAction);
    QCOMPARE(f.ts.prompter.boxes.size(), size_t{1});
    QCOMPARE(f.ts.prompter.boxes[0].title, QStringLiteral("添加歌曲"));
    QCOMPARE(f.ts.prompter.boxes[0].text,
             QStringLiteral("已添加 5 首歌曲。\n1 首歌曲已在列表中，没有重复添加。\n"
                            "1 首歌曲旁边没有同名的歌词文件（.lrc 或 .txt），没有添加。"));
    const QStringList entries = {in("a.mp3") + "\",\"" + in("a.lrc"),
                                 in("d.mp3") + "\",\"" + f.path("d.TXT"),
                                 in("b.MP3") + "\",\"" + in("B.TXT"),
                                 in("d.mp3") + "\",\"" + in("d.LRC"),
                                 in("sub/f.mp3") + "\",\"" + in("sub/f.txt"),
                                 in("sub/g.FLAC") + "\",\"" + in("sub/g.lrc"),
                                 in("sub/deeper/e.Mp3") + "\",\"" + in("sub/deeper/e.lrc")};
    QCOMPARE(FileBytes(f.m.assocFilePath()),
             EncodeAnsi("7\r\n\"" + entries.join(QStringLiteral("\"\r\n\"")) + "\"\r\n"));
    QCOMPARE(Rows(w.List1).size(), 7);
    QCOMPARE(Rows(w.List1).last(), in("sub/deeper/e.Mp3") + "   " + in("sub/deeper/e.lrc"));
    // The selected row stays selected.
    QCOMPARE(w.List1->currentRow(), 1);
    QVERIFY(w.List1->currentItem()->isSelected());
    QVERIFY(f.m.editMode);

    // The same drop again adds nothing; a drop without songs says so.
    Drop(w, {Url(root)}, w.Label5);
    QCOMPARE(f.ts.prompter.boxes.back().text,
             QStringLiteral("已添加 0 首歌曲。\n6 首歌曲已在列表中，没有重复添加。\n"
                            "1 首歌曲旁边没有同名的歌词文件（.lrc 或 .txt），没有添加。"));
    Drop(w, {Url(in("notes.txt"))}, w.MP);
    QCOMPARE(f.ts.prompter.boxes.back().text, QStringLiteral("拖放的文件和文件夹中没有找到歌曲。"));
}

void DropTests::aDropPastTheLimitWritesNothing() {
    PlayerFixture f;
    QByteArray record = "32765\r\n";
    for (int i = 0; i < 32765; ++i) record += "\"/s" + QByteArray::number(i) + ".mp3\",\"/l.TXT\"\r\n";
    f.writeBytes(QStringLiteral("关联记录.TXT"), record);
    for (const char* name : {"x.mp3", "x.lrc", "y.mp3", "y.lrc", "z.mp3", "z.lrc"})
        f.writeBytes(QString::fromUtf8(name), "x");
    MainPlay& w = f.open();
    w.show();
    Drop(w, {Url(f.dir.path())}, w.Label2);
    QCOMPARE(f.ts.prompter.texts(),
             QStringList{"加入这些歌曲后关联记录将超过 32767 条的上限，没有添加任何歌曲。"});
    QCOMPARE(f.ts.prompter.boxes[0].title, kErrorTitle);
    QCOMPARE(FileBytes(f.m.assocFilePath()), record);
    QCOMPARE(w.List1->count(), 32765);
    Drop(w, {Url(f.path("x.mp3")), Url(f.path("y.mp3"))}, w.Label2);
    QCOMPARE(f.ts.prompter.boxes.back().text, QStringLiteral("已添加 2 首歌曲。"));
    QCOMPARE(f.m.assocCount, int16_t{32767});
    QCOMPARE(w.List1->count(), 32767);
}

int RunDropTests(int argc, char** argv) {
    DropTests t;
    return QTest::qExec(&t, argc, argv);
}

#include "DropTests.moc"
