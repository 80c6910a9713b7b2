// Every input the fuzz targets were seeded with or ever crashed on, through the same entry points, so a
// crash once found stays fixed. A new file dropped into fuzz/corpus/<target> or fuzz/crashes/<target> is
// picked up without a change here.

#include <QDir>
#include <QFile>
#include <QtTest>

#include "fuzz/FuzzTargets.h"

namespace qiva::test {

class FuzzRegressTest : public QObject {
    Q_OBJECT
private slots:
    void replay_data();
    void replay();
    void everyTargetHasSeeds_data();
    void everyTargetHasSeeds();
};

namespace {
const char* const kTargets[] = {"assoc", "lyrics", "lrc", "text", "mp3", "flac", "wav", "ogg"};

QStringList FilesIn(const QString& folder) {
    QStringList files;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (name != QLatin1String(".gitkeep")) files << dir.filePath(name);
    }
    return files;
}
}  // namespace

void FuzzRegressTest::replay_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("file");
    for (const char* target : kTargets) {
        for (const char* kind : {"corpus", "crashes"}) {
            const QString folder = QStringLiteral(QIVA_FUZZ_DIR "/%1/%2").arg(QLatin1String(kind), target);
            for (const QString& file : FilesIn(folder)) {
                const QString tag = QStringLiteral("%1/%2/%3").arg(target, kind, QFileInfo(file).fileName());
                QTest::newRow(qPrintable(tag)) << QString::fromLatin1(target) << file;
            }
        }
    }
}

void FuzzRegressTest::replay() {
    QFETCH(QString, target);
    QFETCH(QString, file);
    QFile f(file);
    QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(file));
    const QByteArray bytes = f.readAll();
    const fuzz::Target run = fuzz::TargetNamed(target.toStdString());
    QVERIFY(run != nullptr);
    const std::string why = run(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    QVERIFY2(why.empty(), why.c_str());
}

void FuzzRegressTest::everyTargetHasSeeds_data() {
    QTest::addColumn<QString>("target");
    for (const char* target : kTargets) QTest::newRow(target) << QString::fromLatin1(target);
}

// An empty seed folder would make the fuzz run start from nothing and this test replay nothing.
void FuzzRegressTest::everyTargetHasSeeds() {
    QFETCH(QString, target);
    QVERIFY(FilesIn(QStringLiteral(QIVA_FUZZ_DIR "/corpus/") + target).size() >= 3);
}

}  // namespace qiva::test

QTEST_GUILESS_MAIN(qiva::test::FuzzRegressTest)
#include "FuzzRegressTest.moc"
