#pragma once
// The one sound output of the program: signed 16-bit stereo on one SDL audio
// device, asked for at 48 kHz and mixed at whatever rate the device grants.
// Clients own numbered sources (the join sound source 0, the scene audio one
// per stream) and queue mono segments stamped with performance-counter
// milliseconds; the audio thread places each by its start time.
//
// Every change the main thread makes goes under the device lock; SDL holds
// that lock around each callback, so no other mutex is needed.

#include <SDL.h>

#include "audio/audio_sink.h"
#include "audio/mixer_core.h"

namespace vobu {

class AudioMixer final : public AudioSink {
public:
    static constexpr int kDesiredRate = 48000;
    static constexpr int kBufferFrames = 1024;

    static AudioMixer& instance();

    void open() override;
    void close() override;
    int deviceRate() const override { return device_ != 0 ? format_.freq : 0; }
    const SDL_AudioSpec& deviceFormat() const { return format_; }

    void setSource(int id, int generation, float volume, float pan) override;
    void removeSource(int id) override;
    bool queueSegment(int id, int generation, double startMs, std::vector<int16_t>&& samples) override;

    // The SDL callback; `userData` is the mixer.
    static void mix(void* userData, Uint8* stream, int length);

    AudioMixer() = default;
    ~AudioMixer() override;
    AudioMixer(const AudioMixer&) = delete;
    AudioMixer& operator=(const AudioMixer&) = delete;

private:
    SDL_AudioDeviceID device_ = 0;
    SDL_AudioSpec format_{};
    MixerCore core_;  // the clock and the sources
};

}  // namespace vobu
