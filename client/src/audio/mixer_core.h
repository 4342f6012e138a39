#pragma once
// The state and the arithmetic of the mixer, free of any device: sources
// with their gains and queues, the running clock, and the mix of one device
// buffer. The AudioMixer wraps it with the SDL device and its lock; tests
// drive it directly with any rate and any clock.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

namespace vobu {

struct MixerSegment {
    double startMs = 0;            // when the first sample must sound
    std::vector<int16_t> samples;  // mono, device rate
};

struct MixerSource {
    int32_t generation = 0;
    float leftGain = 0;
    float rightGain = 0;
    std::deque<MixerSegment> queue;  // oldest first
};

// The gains of the equal-power pan law; volume and pan are clamped first.
struct StereoGains {
    float left = 0;
    float right = 0;
};
StereoGains equalPowerGains(float volume, float pan);

class MixerCore {
public:
    static constexpr size_t kMaxQueuedSegments = 4;
    // A clock drift beyond this snaps the clock back to the counter.
    static constexpr double kResyncMs = 100.0;

    void setSource(int id, int generation, float volume, float pan);
    void removeSource(int id);
    // Rejects empty segments, segments over 10 s at `rate`, unknown sources,
    // other generations and full queues; moves the samples only when accepted.
    bool queueSegment(int rate, int id, int generation, double startMs, std::vector<int16_t>&& samples);
    // Forgets every source and the clock.
    void clear();

    // Fills `frames` stereo frames of `stream` with the sources' sound for a
    // buffer requested at `nowMs`, at `rate` frames per second. Allocates
    // nothing; frees the segments that have played out.
    void mix(double nowMs, int rate, int16_t* stream, int frames);

    double clock() const { return clock_; }
    const std::map<int32_t, MixerSource>& sources() const { return sources_; }

private:
    double clock_ = 0;  // counter time at which the next buffer starts; 0 = not started
    std::map<int32_t, MixerSource> sources_;
};

}  // namespace vobu
