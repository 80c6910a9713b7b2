#pragma once
// Decoded samples as the outputs take them: 16-bit, mono or stereo. Samples of more bits (24-bit and float
// files) are rounded to the nearest 16-bit value, which is below anything audible at any listening level;
// a surround file is mixed down to stereo, which every output plays.

#include <cstddef>
#include <cstdint>

namespace qiva {

// The order of a format's surround channels: WAV and FLAC put the centre after both fronts, Vorbis between.
enum class ChannelOrder { Wave, Vorbis };

// The channels a source of `channels` is played with: mono and stereo as they are, anything more as stereo.
int PlayedChannels(int channels);

// One sample at full scale +-1.0 as a 16-bit sample, rounded to the nearest and clipped.
int16_t ToInt16(float sample);

// `frames` frames of `channels` channels, interleaved or one array per channel, into PlayedChannels()
// interleaved 16-bit channels.
void ConvertInterleaved(const float* in, int channels, ChannelOrder order, size_t frames, int16_t* out);
void ConvertPlanar(const float* const* in, int channels, ChannelOrder order, size_t frames, int16_t* out);

}  // namespace qiva
