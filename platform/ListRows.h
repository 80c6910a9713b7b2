#pragma once
// Rows of the programs' list boxes scroll sideways over 1000 pixels, and over a row's own width where the row
// is wider, so that no row is ever cut off.

#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTimer>

class QFontMetrics;
class QListWidget;

namespace qiva {

constexpr int kListExtentPixels = 1000;

// The size a row showing `text` takes in a list whose font has the metrics `fm`.
QSize ListRowSize(const QFontMetrics& fm, const QString& text);

// A long list that shows its rows at once and measures them later. Every row is one line high and as wide
// as the widest row measured so far, at least the extent, so the list lays out and paints the rows it shows
// without shaping any text. Once the list has painted, its rows are measured a batch at a time in later
// turns of the event loop; a wider row widens them all.
class ListRowsMeasuredLater : public QStyledItemDelegate {
public:
    // Becomes `list`'s delegate and is owned by it.
    explicit ListRowsMeasuredLater(QListWidget* list);

    // Replaces the list's rows.
    void Fill(const QStringList& rows);

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // True while some rows are still to be measured.
    bool measuring() const { return next_ < rows_.size(); }
    void StartAfterPaint();
    void MeasureBatch();

    QPointer<QListWidget> list_;
    QStringList rows_;
    qsizetype next_ = 0;
    int rowWidth_ = kListExtentPixels;
    QTimer batches_;
};

}  // namespace qiva
