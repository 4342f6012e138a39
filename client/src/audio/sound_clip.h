#pragma once
// One short sound decoded in full into the mixer's format and played on
// demand: the join sound. It plays on mixer source 0.

#include <SDL.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "audio/audio_sink.h"
#include "platform/performance_clock.h"

namespace vobu {

class SoundClip {
public:
    static constexpr int kSourceId = 0;
    static constexpr int kGeneration = 1;

    // Plays through the process-wide mixer.
    SoundClip();
    // Plays through `sink` (tests).
    explicit SoundClip(AudioSink& sink);
    ~SoundClip();
    SoundClip(const SoundClip&) = delete;
    SoundClip& operator=(const SoundClip&) = delete;

    // Opens the mixer and sets up source 0 at full volume, centred.
    void init();
    // Decodes Ogg Vorbis `bytes` (1 or 2 channels, 8000..96000 Hz, at most
    // 10 s) to mono at the device rate. The same `key` again returns true at
    // once. Without an audio device it succeeds and stays silent.
    bool load(const std::vector<uint8_t>& bytes, const std::string& key);
    // Queues a copy of the sound to start now; dropped while 4 are pending.
    void play();
    // Removes source 0 and forgets the sound.
    void stop();
    // Called for every key and mouse-button press; nothing to do.
    void handleEvent() {}

    // The clock that stamps each play with its start time.
    void setClock(MillisecondClock clockMs) { clock_ = std::move(clockMs); }
    const MillisecondClock& clock() const { return clock_; }

    const std::string& key() const { return key_; }
    // Mono 16-bit little-endian at the device rate.
    const std::vector<uint8_t>& samples() const { return samples_; }
    const SDL_AudioSpec& format() const { return format_; }

private:
    bool convertToMono(std::vector<int16_t>& resampled);

    AudioSink& sink_;
    MillisecondClock clock_ = performanceMs;
    SDL_AudioSpec format_{};
    std::string key_;
    std::vector<uint8_t> samples_;
};

}  // namespace vobu
