#pragma once
// A lyric line of the player: a plain-text label whose size follows its text, its top-left corner fixed.
//
// The text is laid out once, when it is set, and drawn from that layout. A QLabel lays its text out again to
// measure it and again for every paint; the three lines change with every line of the song, and the rows
// they sit in repaint whenever the marker or the song information does.

#include <QLabel>
#include <QStaticText>

namespace qiva {

class LineLabel : public QLabel {
public:
    LineLabel(QWidget* parent, const QFont& font);

    // Shows `text` (never as markup) and takes its size; empty, the label takes no room at all.
    void setLine(const QString& text);

    QSize sizeHint() const override { return size_; }
    QSize minimumSizeHint() const override { return size_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStaticText line_;
    QSize size_{0, 0};
};

}  // namespace qiva
