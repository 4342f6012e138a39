#pragma once
// Shared pieces of the audio tests: an offline mixer that stands in for the
// device at any rate, a clock the test moves, fixture files and signal
// measurements.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "audio/audio_sink.h"
#include "audio/mixer_core.h"
#include "world/scene.h"

namespace vobu::testing {

// The mixer's rules and arithmetic without a device, recording every call.
class OfflineMixer : public AudioSink {
public:
    struct SourceCall {
        int id;
        int generation;
        float volume;
        float pan;
    };
    struct QueueCall {
        int id;
        int generation;
        double startMs;
        size_t samples;
        bool accepted;
    };

    explicit OfflineMixer(int rate, bool hasDevice = true) : rate_(rate), hasDevice_(hasDevice) {}

    void open() override {
        ++openCalls;
        open_ = hasDevice_;
    }
    void close() override {
        open_ = false;
        core.clear();
    }
    int deviceRate() const override { return open_ ? rate_ : 0; }
    void setSource(int id, int generation, float volume, float pan) override {
        if (!open_) return;
        sourceCalls.push_back({id, generation, volume, pan});
        core.setSource(id, generation, volume, pan);
    }
    void removeSource(int id) override {
        if (!open_) return;
        removed.push_back(id);
        core.removeSource(id);
    }
    bool queueSegment(int id, int generation, double startMs, std::vector<int16_t>&& samples) override {
        if (!open_) return false;
        const size_t count = samples.size();
        const bool accepted = core.queueSegment(rate_, id, generation, startMs, std::move(samples));
        queueCalls.push_back({id, generation, startMs, count, accepted});
        return accepted;
    }

    const std::deque<MixerSegment>& queueOf(int id) const { return core.sources().at(id).queue; }

    MixerCore core;
    int openCalls = 0;
    std::vector<SourceCall> sourceCalls;
    std::vector<QueueCall> queueCalls;
    std::vector<int> removed;

private:
    int rate_;
    bool hasDevice_;
    bool open_ = false;
};

// A clock that moves on by `step` ms every time it is read.
struct SteppingClock {
    double now = 100000.0;
    double step = 0.0;
    double operator()() {
        const double t = now;
        now += step;
        return t;
    }
};

// An "audio" entity of one stream; a radius of 0 makes it non-positional.
inline SceneEntity audioEntity(int id, int stream, int generation, float x = 0, float y = 0, float z = 0,
                               float radius = 0) {
    SceneEntity e;
    e.id = id;
    e.type = "audio";
    e.streamId = stream;
    e.generation = generation;
    e.x = x;
    e.y = y;
    e.z = z;
    e.radius = radius;
    return e;
}

inline std::vector<uint8_t> readFixture(const std::string& name) {
    std::ifstream in(std::string(VOBU_SOURCE_DIR) + "/client/tests/audio/fixtures/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::vector<int16_t> sine(double frequency, int rate, size_t frames, double amplitude, int channels = 1) {
    std::vector<int16_t> out(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * size_t(channels) + size_t(c)] =
                int16_t(std::lround(amplitude * std::sin(2.0 * std::numbers::pi * frequency * double(i) / rate)));
    return out;
}

// Amplitude of the `frequency` component of samples[begin, end) (one
// channel of `stride` interleaved), by the Goertzel recurrence.
inline double toneAmplitude(const std::vector<int16_t>& samples, double frequency, int rate, size_t begin, size_t end,
                            size_t stride = 1, size_t channel = 0) {
    const double w = 2.0 * std::numbers::pi * frequency / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0, s2 = 0;
    size_t n = 0;
    for (size_t i = begin; i < end; ++i, ++n) {
        // A Hann window keeps a strong tone from leaking into a weak one.
        const double hann = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * double(i - begin) / double(end - begin));
        const double s0 = double(samples[i * stride + channel]) * hann + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / (double(n) * 0.5);
}

}  // namespace vobu::testing
