#include "app/LineLabel.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>

namespace qiva {

LineLabel::LineLabel(QWidget* parent, const QFont& font) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setFont(font);
    line_.setTextFormat(Qt::PlainText);
    resize(0, 0);
}

void LineLabel::setLine(const QString& text) {
    setText(text);
    line_.setText(text);
    if (text.isEmpty()) {
        // Measuring nothing would only load the font, before the window is first seen.
        size_ = QSize(0, 0);
    } else {
        line_.prepare(QTransform(), font());
        // As wide as the laid-out text, as high as one line of the font: the size a QLabel would take.
        size_ = QSize(static_cast<int>(std::ceil(line_.size().width())), QFontMetrics(font()).height());
    }
    resize(size_);
}

void LineLabel::paintEvent(QPaintEvent*) {
    if (line_.text().isEmpty()) return;
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    painter.drawStaticText(0, 0, line_);
}

}  // namespace qiva
