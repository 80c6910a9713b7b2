#pragma once
// Songs made at test time with lame: short ones to play and a ten-hour one made from one second of frames.

#include <QString>

namespace qiva::test {

// A sine tone of `seconds` at `rate` Hz, mono, encoded by lame with `bitrate` kbit/s and no Info tag, so
// the file is nothing but whole MP3 frames. Empty on failure.
QString MakeSong(const QString& folder, const QString& name, double seconds, int rate, int bitrate);

// `copies` copies of the frames of `song` one after another: a song `copies` times as long.
bool RepeatSong(const QString& song, int copies, const QString& into);

}  // namespace qiva::test
