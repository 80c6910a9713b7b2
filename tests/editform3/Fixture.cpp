#include "Fixture.h"

#include <QFile>
#include <QTest>

namespace qiva::test {

Step3::Step3(const QStringList& texts, double songSeconds) {
    m.lyricAlbum = m.lyricSinger = m.lyricComposer = m.lyricTitle = m.lyricLyricist = QStringLiteral("未知");
    m.lyricSongPath = kSong;
    m.ResetLines(static_cast<int16_t>(texts.size()));
    for (int i = 0; i < texts.size(); ++i) m.lyricLines[static_cast<size_t>(i) + 1].text = texts[i];
    ts.players.songs.insert(kSong, songSeconds);
}

void Step3::open() { form = std::make_unique<EditForm3>(m, ts.services); }

FakeMediaPlayer& Step3::player() const { return static_cast<FakeMediaPlayer&>(form->MP->engine()); }

void Step3::setTimes(const std::vector<int>& times) {
    for (size_t i = 0; i < times.size(); ++i) m.lyricLines[i + 1].endTime = static_cast<int16_t>(times[i]);
    form->flashlistview();
}

QList<int> Step3::times() const {
    QList<int> out;
    for (int i = 1; i <= m.lyricLineCount; ++i) out << t(i);
    return out;
}

QStringList Step3::rows() const {
    QStringList out;
    for (int i = 0; i < form->List1->count(); ++i) out << form->List1->item(i)->text();
    return out;
}

QStringList Step3::enabledState() const {
    QStringList out;
    for (const QWidget* w : {static_cast<QWidget*>(form->Command2), static_cast<QWidget*>(form->Command3),
                             static_cast<QWidget*>(form->Command4), static_cast<QWidget*>(form->Command1),
                             static_cast<QWidget*>(form->List1)})
        out << (w->isEnabled() ? QStringLiteral("on") : QStringLiteral("off"));
    return out;
}

void Step3::recordAt(const std::vector<double>& seconds) {
    if (player().PlayState() != MediaPlayer::Playing) form->Command2_Click();
    for (double s : seconds) {
        player().advance(s - player().CurrentPosition());
        form->Command4_Click();
    }
}

QStringList Step3::boxes() const {
    QStringList out;
    for (const ScriptedPrompter::Box& b : ts.prompter.boxes) out << b.kind + u'|' + b.title + u'|' + b.text;
    return out;
}

QStringList Lines(int n) {
    QStringList out;
    for (int i = 1; i <= n; ++i) out << QStringLiteral("第%1句").arg(i);
    return out;
}

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QString FixturePath(const QString& name) { return QStringLiteral(QIVA_EDITFORM3_DATA "/") + name; }

}  // namespace qiva::test
