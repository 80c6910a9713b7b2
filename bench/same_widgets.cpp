// The yardstick a user would hold the player's start-up against: a plain Qt Widgets window with the same
// kinds of widgets in the same places as the player window (the list with its 1,000 rows, the four buttons,
// the notice and the song information in their Chinese texts and fonts, a player control's buttons and bars,
// the marker picture), built with the same compiler, flags and Qt, and reporting its first paint the same
// way. It has no audio engine, reads no record file and shows its rows the way any Qt program would
// (QListWidget::addItems with uniform row sizes).
//
//   bench_same_widgets [lyrics folder]   (the rows name files in that folder, as the program's record does)

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

#include "app/FirstPaint.h"
#include "platform/Layout.h"

namespace {

using qiva::PlaceTwips;
using qiva::SongFont;

constexpr int kRows = 1000;

QStringList Rows(const QString& folder) {
    QStringList rows;
    rows.reserve(kRows);
    rows << folder + QStringLiteral("/bench.MP3   ") + folder + QStringLiteral("/bench.TXT");
    for (int i = 2; i <= kRows; ++i)
        rows << QStringLiteral("%1/song%2.MP3   %1/song%2.TXT").arg(folder).arg(i);
    return rows;
}

QLabel* Label(QWidget* parent, const QString& text, const QFont& font, bool red) {
    auto* l = new QLabel(text, parent);
    l->setFont(font);
    if (red) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, Qt::red);
        l->setPalette(p);
    }
    return l;
}

// What a player control is made of: a position bar over the transport buttons, the time and the volume.
QWidget* PlayerControl(QWidget* parent) {
    auto* control = new QWidget(parent);
    auto* rows = new QVBoxLayout(control);
    rows->setContentsMargins(1, 1, 1, 1);
    rows->setSpacing(0);
    rows->addWidget(new QSlider(Qt::Horizontal, control));
    auto* row = new QHBoxLayout;
    for (const char* glyph : {"\u25B6", "\u2016", "\u25A0"}) {
        auto* b = new QToolButton(control);
        b->setText(QString::fromUtf8(glyph));
        b->setAutoRaise(true);
        row->addWidget(b);
    }
    auto* time = new QLabel(QStringLiteral("00:00 / 00:00"), control);
    QFont small = time->font();
    small.setPointSizeF(8);
    time->setFont(small);
    row->addWidget(time);
    row->addStretch(1);
    auto* volume = new QSlider(Qt::Horizontal, control);
    volume->setFixedWidth(60);
    row->addWidget(volume);
    rows->addLayout(row);
    return control;
}

void Button(QWidget* parent, const QString& caption, int left, int top) {
    PlaceTwips(new QPushButton(caption, parent), left, top, 1335, 615);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setFont(SongFont(9));
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/歌词");

    QWidget window;
    window.setWindowTitle(QStringLiteral("同样控件的窗体"));
    window.setFixedSize(617, 498);  // the player window's client area, 9255 x 7470 twips at 96 DPI

    auto* list = new QListWidget(&window);
    PlaceTwips(list, 360, 360, 4935, 2580);
    list->setUniformItemSizes(true);
    list->addItems(Rows(folder));
    Button(&window, QStringLiteral("新建歌词"), 5520, 360);
    Button(&window, QStringLiteral("编辑歌词"), 7320, 360);
    Button(&window, QStringLiteral("刷新列表"), 6480, 1320);
    PlaceTwips(PlayerControl(&window), 5520, 2160, 3375, 615);
    Button(&window, QStringLiteral("重新关联歌词"), 7680, 2880);
    PlaceTwips(Label(&window, QStringLiteral("新用户请重新关联歌词！！"), SongFont(10.5, true), true), 5040,
               3120, 3255, 255);
    PlaceTwips(Label(&window, QString(), SongFont(12, true), false), 5400, 3840, 3495, 780);
    auto* marker = new QLabel(&window);
    marker->setScaledContents(true);
    marker->setPixmap(QPixmap(folder + QStringLiteral("/right.gif")));
    PlaceTwips(marker, 1080, 4080, 450, 450);
    // The three lyric lines are empty until a song plays.
    PlaceTwips(Label(&window, QString(), window.font(), false), 1200, 3600, 300, 255);
    PlaceTwips(Label(&window, QString(), SongFont(14.25, true), true), 1200, 4680, 300, 375);
    PlaceTwips(Label(&window, QString(), window.font(), false), 1200, 5760, 300, 255);

    window.show();
    qiva::WatchFirstPaint(&window);
    return app.exec();
}
