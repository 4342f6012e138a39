#pragma once
// Entry point shared by the audio fuzz target and by the regression test
// that replays its corpus in the ordinary build: arbitrary bytes as a join
// sound and as a streamed scene segment. It returns false when something
// that must hold broke; a crash inside the decoders ends the run anyway.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/audio_sink.h"
#include "audio/mixer_core.h"
#include "audio/scene_audio.h"
#include "audio/sound_clip.h"

namespace vobu::fuzz {

// The mixer's rules without a device, at a fixed rate.
class FuzzMixer : public AudioSink {
public:
    explicit FuzzMixer(int rate) : rate_(rate) {}
    void open() override {}
    void close() override { core.clear(); }
    int deviceRate() const override { return rate_; }
    void setSource(int id, int generation, float volume, float pan) override {
        core.setSource(id, generation, volume, pan);
    }
    void removeSource(int id) override { core.removeSource(id); }
    bool queueSegment(int id, int generation, double startMs, std::vector<int16_t>&& samples) override {
        longest = std::max(longest, samples.size());
        return core.queueSegment(rate_, id, generation, startMs, std::move(samples));
    }
    MixerCore core;
    size_t longest = 0;

private:
    int rate_;
};

inline bool oggStreamHolds(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    // The first byte picks the device rate, so both common rates are tried.
    const int rate = size > 0 && (data[0] & 1) ? 44100 : 48000;
    double now = 100000.0;
    auto clock = [&now] { return now; };

    FuzzMixer mixer(rate);
    {
        SoundClip clip(mixer);
        clip.setClock(clock);
        clip.init();
        if (clip.load(bytes, "fuzz")) {
            if (clip.samples().size() > size_t(rate) * 10 * 2) return false;
            clip.play();
        }
    }
    mixer.longest = 0;

    SceneAudio audio(mixer);
    audio.setClock(clock);
    audio.initialize();
    Scene scene;
    SceneEntity emitter;
    emitter.id = 1;
    emitter.type = "audio";
    emitter.streamId = 1;
    emitter.generation = 1;
    scene.entities = {emitter};
    AudioSegment segment;
    segment.streamId = 1;
    segment.generation = 1;
    segment.startMs = now + 100.0;
    segment.duration = 1.0;
    segment.data = bytes;
    scene.audioSegments = {segment};
    // A frozen clock: each update runs until its segment is done or refused.
    audio.update(scene, MoveState{}, {1.0f, 0.0f, 0.0f}, true, 2.0);
    if (audio.decoding() || audio.resampling() || !scene.audioSegments.empty()) return false;
    // At most 3 s at the device rate, or the announced second within 100 ms.
    return mixer.longest <= size_t(rate) * 3;
}

}  // namespace vobu::fuzz
