#include "platform/PcmConvert.h"

#include <array>
#include <cmath>

namespace qiva {

namespace {

// Where a channel of a surround layout goes in the stereo mix: fronts to their own side, the centre and the
// back centre to both at equal power, surrounds to their side at equal power; the bass channel is left out,
// as stereo mixes of films leave it.
struct Weight {
    float left;
    float right;
};
constexpr float kHalfPower = 0.70710678f;
constexpr Weight kL{1, 0}, kR{0, 1}, kC{kHalfPower, kHalfPower}, kLfe{0, 0}, kSl{kHalfPower, 0},
    kSr{0, kHalfPower}, kBc{0.5f, 0.5f};
constexpr size_t kMostNamed = 8;

using Layout = std::array<Weight, kMostNamed>;

// Layouts of 3 to 8 channels, by the order of each kind of file.
constexpr std::array<Layout, 6> kWaveLayouts{{
    {kL, kR, kC},
    {kL, kR, kSl, kSr},
    {kL, kR, kC, kSl, kSr},
    {kL, kR, kC, kLfe, kSl, kSr},
    {kL, kR, kC, kLfe, kBc, kSl, kSr},
    {kL, kR, kC, kLfe, kSl, kSr, kSl, kSr},
}};
constexpr std::array<Layout, 6> kVorbisLayouts{{
    {kL, kC, kR},
    {kL, kR, kSl, kSr},
    {kL, kC, kR, kSl, kSr},
    {kL, kC, kR, kSl, kSr, kLfe},
    {kL, kC, kR, kSl, kSr, kBc, kLfe},
    {kL, kC, kR, kSl, kSr, kSl, kSr, kLfe},
}};

// The weights of every channel, scaled so that a full-scale sound in every channel at once stays within
// full scale; a layout of more channels than any named one is mixed evenly.
class Mix {
public:
    Mix(int channels, ChannelOrder order)
        : channels_(channels), named_(channels >= 3 && size_t(channels) <= kMostNamed) {
        float left = 0;
        float right = 0;
        for (int c = 0; c < channels && named_; ++c) {
            const Layout& layout =
                (order == ChannelOrder::Wave ? kWaveLayouts : kVorbisLayouts)[size_t(channels - 3)];
            weights_[size_t(c)] = layout[size_t(c)];
            left += layout[size_t(c)].left;
            right += layout[size_t(c)].right;
        }
        scale_ = named_ ? 1.0f / std::fmax(left, right) : 1.0f / float(channels);
    }

    template <typename Sample>
    void frame(Sample sample, int16_t* out) const {
        float left = 0;
        float right = 0;
        for (int c = 0; c < channels_; ++c) {
            const float v = sample(c);
            const Weight w = named_ ? weights_[size_t(c)] : Weight{1, 1};
            left += v * w.left;
            right += v * w.right;
        }
        out[0] = ToInt16(left * scale_);
        out[1] = ToInt16(right * scale_);
    }

private:
    int channels_;
    bool named_;
    Layout weights_{};
    float scale_ = 1;
};

template <typename Sample>
void Convert(Sample sample, int channels, ChannelOrder order, size_t frames, int16_t* out) {
    if (channels <= 2) {
        for (size_t f = 0; f < frames; ++f)
            for (int c = 0; c < channels; ++c) *out++ = ToInt16(sample(f, c));
        return;
    }
    const Mix mix(channels, order);
    for (size_t f = 0; f < frames; ++f, out += 2) mix.frame([&](int c) { return sample(f, c); }, out);
}

}  // namespace

int PlayedChannels(int channels) { return channels <= 2 ? channels : 2; }

int16_t ToInt16(float sample) {
    // Full scale is 32768 as the libraries count it, so 16-bit sources come back exactly as they were.
    const float scaled = sample * 32768.0f;
    if (std::isnan(scaled)) return 0;  // from a damaged stream: silence rather than a click
    if (scaled <= -32768.0f) return -32768;
    if (scaled >= 32767.0f) return 32767;
    return int16_t(std::lrintf(scaled));
}

void ConvertInterleaved(const float* in, int channels, ChannelOrder order, size_t frames, int16_t* out) {
    Convert([&](size_t f, int c) { return in[f * size_t(channels) + size_t(c)]; }, channels, order, frames,
            out);
}

void ConvertPlanar(const float* const* in, int channels, ChannelOrder order, size_t frames, int16_t* out) {
    Convert([&](size_t f, int c) { return in[c][f]; }, channels, order, frames, out);
}

}  // namespace qiva
