#pragma once
// Songs made at test time: silence with single-sample clicks at known frames, encoded by lame in the ways
// the engine must cope with, plus files that are not songs at all.

#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <vector>

namespace qiva::test {

struct SourceSpec {
    int rate = 44100;
    int channels = 2;
    int64_t frames = 3 * 44100;
    std::vector<int64_t> clicks;  // frames of the source holding a full-scale-ish click
    int tone = 0;                 // amplitude of a 440 Hz tone under the clicks, so that a gap can be heard
    int bits = 16;                // 16, or 24: each click then lies three quarters above 16-bit 20000
};

// The click's value in 16 bits; a 24-bit click, rounded to the nearest, gives one more.
constexpr int16_t kClick = 20000;

// Writes a PCM WAV file of silence (or the tone) with the given clicks in every channel.
void WriteClickWav(const QString& path, const SourceSpec& spec);

// Encodes wav into mp3 with lame and the given options; fails the calling test when lame fails.
bool Encode(const QString& wav, const QString& mp3, const QStringList& lameOptions);

// The frame nearest to `around` (within `radius`) with the largest absolute sample of the first channel.
int64_t PeakFrame(const std::vector<int16_t>& samples, int channels, int64_t around, int64_t radius);

// Every frame of the file, decoded straight through from the start.
std::vector<int16_t> DecodeAll(const QString& song, int* channels = nullptr);

// A folder of songs shared by every test of a run: the click WAV and its encodings.
class SongFolder {
public:
    static SongFolder& get();
    QString path(const QString& name) const { return dir_.filePath(name); }
    QString cbr() const { return path("cbr.mp3"); }        // 128 kbit/s, 44.1 kHz stereo, 3 s
    QString vbr() const { return path("vbr.mp3"); }        // -V 2
    QString mono() const { return path("mono.mp3"); }      // mono, 22.05 kHz
    QString tagged() const { return path("tagged.mp3"); }  // a large ID3v2 tag before the audio
    static const SourceSpec& source();                     // the 3 s source of the first four
    bool ok() const { return ok_; }

private:
    SongFolder();
    QTemporaryDir dir_;
    bool ok_ = false;
};

}  // namespace qiva::test
