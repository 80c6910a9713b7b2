// Step three's waveform strip, below the designed controls: the window is taller by the strip alone.
// The strip reads the document and the list whenever it paints, and the window repaints it whenever the
// list is refilled or its selection changes, which every change of an end time ends with.

#include <QListWidget>
#include <QPushButton>

#include "platform/Layout.h"
#include "platform/Waveform.h"
#include "wizard/EditForm3.h"
#include "wizard/WaveformStrip.h"

namespace qiva {

namespace {
// Just under the lowest designed controls ("导入完成歌词" and "完成" end at 8415), the designed margin below
// them shared out above and below the strip.
constexpr int kStripLeft = 120;
constexpr int kStripTop = 8520;
constexpr int kStripWidth = 7665;
}  // namespace

void EditForm3::createWaveform() {
    waveform_ = new Waveform(this);
    StripLines lines;
    lines.ends = [this] {
        std::vector<int16_t> ends(size_t(lineCount()) + 1, 0);
        for (int i = 1; i <= lineCount(); ++i) ends[size_t(i)] = line(i).endTime;
        return ends;
    };
    lines.selected = [this](int i) {
        const QListWidgetItem* row = List1->item(i - 1);
        return row != nullptr && row->isSelected();
    };
    // Seeking would move the song under the user's record presses; the markers move only when the times
    // can be corrected by other means too, that is while the list is enabled.
    lines.recording = [this] { return Command4->isEnabled(); };
    lines.editable = [this] { return List1->isEnabled(); };
    Waveform1 = new WaveformStrip(*waveform_, *MP, std::move(lines), this);
    Waveform1->setFont(SongFont(9));
    PlaceTwips(Waveform1, kStripLeft, kStripTop, kStripWidth, kWaveformStripHeightTwips);
    // Not through `this`: the list's rows go when the window's children are deleted, after the window itself.
    auto repaint = [strip = Waveform1] { strip->update(); };
    connect(List1->model(), &QAbstractItemModel::rowsInserted, Waveform1, repaint);
    connect(List1->model(), &QAbstractItemModel::rowsRemoved, Waveform1, repaint);
    connect(List1->model(), &QAbstractItemModel::modelReset, Waveform1, repaint);
    connect(List1, &QListWidget::itemSelectionChanged, Waveform1, repaint);
    connect(Waveform1, &WaveformStrip::lineEndDragged, this, &EditForm3::Waveform1_MarkerDrag);
}

// Every song the window loads, at opening and with an import, replaces the waveform being computed.
void EditForm3::computeWaveform() {
    if (waveform_) waveform_->compute(m_.lyricSongPath);
}

void EditForm3::Waveform1_MarkerDrag(int lineNumber, int16_t endTime) {
    if (lineNumber < 1 || lineNumber > lineCount()) return;
    line(lineNumber).endTime = endTime;
    flashlistview();
}

}  // namespace qiva
