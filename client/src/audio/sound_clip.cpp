#include "audio/sound_clip.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <memory>

#include "audio/audio_mixer.h"
#include "audio/resample_pcm.h"
#include "audio/vorbis.h"
#include "audio/vorbis_guard.h"

namespace vobu {

namespace {

constexpr int kMinRate = 8000;
constexpr int kMaxRate = 96000;
constexpr int kMaxSeconds = 10;
// Working memory for reading the stream headers: several times what the
// usual encoders' codebooks take (under 200 KiB).
constexpr size_t kProbeMemoryBytes = size_t(2) << 20;

bool acceptable(int channels, int rate, int64_t frames) {
    return (channels == 1 || channels == 2) && rate >= kMinRate && rate <= kMaxRate && frames >= 1 &&
           frames <= int64_t(kMaxSeconds) * rate;
}

// Reads the stream's announced shape without decoding it. The headers are
// read inside working memory of our own: on damaged headers the decoder's
// clean-up frees pointers it never set, which the heap does not survive,
// while in caller memory it frees nothing. Only headers that read cleanly
// reach the whole-stream decode.
bool probe(const std::vector<uint8_t>& bytes) {
    if (!vorbisHeadersSafe(bytes.data(), bytes.size())) return false;
    std::vector<char> memory(kProbeMemoryBytes);
    const stb_vorbis_alloc alloc{memory.data(), int(memory.size())};
    int error = 0;
    stb_vorbis* stream = stb_vorbis_open_memory(bytes.data(), int(bytes.size()), &error, &alloc);
    if (stream == nullptr) return false;
    const stb_vorbis_info info = stb_vorbis_get_info(stream);
    const int64_t frames = stb_vorbis_stream_length_in_samples(stream);
    stb_vorbis_close(stream);
    return acceptable(info.channels, int(info.sample_rate), frames);
}

struct FreeDeleter {
    void operator()(short* p) const { std::free(p); }
};

// Decodes the whole stream to interleaved samples; false when it fails or
// what it gives breaks the limits.
bool decodeWhole(const std::vector<uint8_t>& bytes, std::vector<int16_t>& samples, int& channels, int& rate) {
    short* raw = nullptr;
    const int frames = stb_vorbis_decode_memory(bytes.data(), int(bytes.size()), &channels, &rate, &raw);
    std::unique_ptr<short, FreeDeleter> owned(raw);
    if (frames <= 0 || raw == nullptr || !acceptable(channels, rate, frames)) return false;
    samples.assign(raw, raw + size_t(frames) * size_t(channels));
    return true;
}

}  // namespace

SoundClip::SoundClip() : SoundClip(AudioMixer::instance()) {}

SoundClip::SoundClip(AudioSink& sink) : sink_(sink) {}

SoundClip::~SoundClip() { sink_.removeSource(kSourceId); }

void SoundClip::init() {
    sink_.open();
    format_ = SDL_AudioSpec{};
    format_.freq = sink_.deviceRate();
    format_.format = AUDIO_S16LSB;
    format_.channels = 1;
    sink_.setSource(kSourceId, kGeneration, 1.0f, 0.0f);
}

bool SoundClip::load(const std::vector<uint8_t>& bytes, const std::string& key) {
    if (key == key_) return true;
    if (bytes.empty() || bytes.size() > size_t(INT_MAX) || !probe(bytes)) return false;
    std::vector<int16_t> decoded;
    int channels = 0;
    int rate = 0;
    if (!decodeWhole(bytes, decoded, channels, rate)) return false;

    samples_.clear();
    if (format_.freq <= 0) {
        key_ = key;  // no audio device: loaded, but silent
        return true;
    }
    std::vector<int16_t> resampled = resamplePcm(decoded, channels, rate, format_.freq);
    if (resampled.empty()) return false;
    if (channels == format_.channels) {
        samples_.resize(resampled.size() * 2);
        for (size_t i = 0; i < resampled.size(); ++i) {
            const auto value = uint16_t(resampled[i]);
            samples_[2 * i] = uint8_t(value & 0xff);
            samples_[2 * i + 1] = uint8_t(value >> 8);
        }
    } else if (!convertToMono(resampled)) {
        samples_.clear();
        return false;
    }
    key_ = key;
    return true;
}

// Stereo at the device rate to the clip format through SDL's converter.
bool SoundClip::convertToMono(std::vector<int16_t>& resampled) {
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, AUDIO_S16LSB, 2, format_.freq, format_.format, format_.channels, format_.freq) < 0)
        return false;
    const size_t length = resampled.size() * 2;
    if (length > size_t(INT_MAX) / size_t(std::max(cvt.len_mult, 1))) return false;
    std::vector<uint8_t> buffer(length * size_t(std::max(cvt.len_mult, 1)));
    for (size_t i = 0; i < resampled.size(); ++i) {
        const auto value = uint16_t(resampled[i]);
        buffer[2 * i] = uint8_t(value & 0xff);
        buffer[2 * i + 1] = uint8_t(value >> 8);
    }
    cvt.buf = buffer.data();
    cvt.len = int(length);
    if (SDL_ConvertAudio(&cvt) != 0) return false;
    buffer.resize(size_t(cvt.len_cvt));
    samples_ = std::move(buffer);
    return true;
}

void SoundClip::play() {
    if (samples_.empty()) return;
    std::vector<int16_t> copy(samples_.size() / 2);
    for (size_t i = 0; i < copy.size(); ++i)
        copy[i] = int16_t(uint16_t(samples_[2 * i]) | uint16_t(samples_[2 * i + 1]) << 8);
    sink_.queueSegment(kSourceId, kGeneration, clock_(), std::move(copy));
}

void SoundClip::stop() {
    sink_.removeSource(kSourceId);
    samples_.clear();
    key_.clear();
}

}  // namespace vobu
