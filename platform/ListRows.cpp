#include "platform/ListRows.h"

#include <QEvent>
#include <QFontMetrics>
#include <QListWidget>
#include <algorithm>
#include <functional>

namespace qiva {

namespace {
// Enough rows per turn of the event loop to measure a full table in a few seconds, few enough that clicks
// and the lyric clock never wait long for them.
constexpr qsizetype kBatchRows = 32;

// One line of text and a pixel above and below it.
int RowHeight(const QFontMetrics& fm) { return fm.height() + 2; }

// Calls `paint` whenever the watched widget has a paint event.
class PaintWatcher : public QObject {
public:
    PaintWatcher(QWidget* watched, std::function<void()> paint) : QObject(watched), paint_(std::move(paint)) {
        watched->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) paint_();
        return false;
    }

private:
    std::function<void()> paint_;
};
}  // namespace

QSize ListRowSize(const QFontMetrics& fm, const QString& text) {
    // A few pixels beyond the text for the row's margins.
    return {std::max(kListExtentPixels, fm.horizontalAdvance(text) + 8), RowHeight(fm)};
}

ListRowsMeasuredLater::ListRowsMeasuredLater(QListWidget* list) : QStyledItemDelegate(list), list_(list) {
    list->setItemDelegate(this);
    // Every row has the same size, so the list need not ask row by row.
    list->setUniformItemSizes(true);
    new PaintWatcher(list->viewport(), [self = QPointer(this)] {
        if (self) self->StartAfterPaint();
    });
    batches_.setInterval(0);
    connect(&batches_, &QTimer::timeout, this, &ListRowsMeasuredLater::MeasureBatch);
}

void ListRowsMeasuredLater::Fill(const QStringList& rows) {
    batches_.stop();
    rows_ = rows;
    next_ = 0;
    rowWidth_ = kListExtentPixels;
    list_->clear();
    list_->addItems(rows_);
}

QSize ListRowsMeasuredLater::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const {
    return {rowWidth_, RowHeight(QFontMetrics(list_->font()))};
}

// Measuring starts after the list has painted its rows, so that the first sight of them never waits for it.
void ListRowsMeasuredLater::StartAfterPaint() {
    if (measuring() && !batches_.isActive()) batches_.start();
}

void ListRowsMeasuredLater::MeasureBatch() {
    const QFontMetrics fm(list_->font());
    const qsizetype end = std::min(next_ + kBatchRows, rows_.size());
    int widest = rowWidth_;
    for (; next_ < end; ++next_) widest = std::max(widest, ListRowSize(fm, rows_[next_]).width());
    if (!measuring()) {
        batches_.stop();
        rows_.clear();
        next_ = 0;
    }
    if (widest == rowWidth_) return;
    rowWidth_ = widest;
    emit sizeHintChanged(list_->model()->index(0, 0));
}

}  // namespace qiva
