#include "audio/mixer_core.h"

#include <algorithm>
#include <cmath>

namespace vobu {

namespace {

int16_t saturate(int32_t value) { return static_cast<int16_t>(std::clamp<int32_t>(value, -32768, 32767)); }

// Adds gain x sample (its fraction dropped) to one output sample.
void addScaled(int16_t& out, float gain, int16_t sample) {
    out = saturate(int32_t(out) + static_cast<int32_t>(gain * float(sample)));
}

double segmentEndMs(const MixerSegment& segment, int rate) {
    return segment.startMs + double(segment.samples.size()) * 1000.0 / rate;
}

}  // namespace

StereoGains equalPowerGains(float volume, float pan) {
    volume = std::isnan(volume) ? 1.0f : std::clamp(volume, 0.0f, 1.0f);
    pan = std::isnan(pan) ? 1.0f : std::clamp(pan, -1.0f, 1.0f);
    return {volume * std::sqrt((1.0f - pan) / 2.0f), volume * std::sqrt((1.0f + pan) / 2.0f)};
}

void MixerCore::setSource(int id, int generation, float volume, float pan) {
    MixerSource& source = sources_[id];
    if (source.generation != generation) {
        source.queue.clear();
        source.generation = generation;
    }
    const StereoGains gains = equalPowerGains(volume, pan);
    source.leftGain = gains.left;
    source.rightGain = gains.right;
}

void MixerCore::removeSource(int id) { sources_.erase(id); }

bool MixerCore::queueSegment(int rate, int id, int generation, double startMs, std::vector<int16_t>&& samples) {
    if (samples.empty() || rate <= 0 || samples.size() > size_t(rate) * 10) return false;
    // A start that is not a number could never be placed nor played out, and
    // would hold its queue slot for ever.
    if (!std::isfinite(startMs)) return false;
    auto found = sources_.find(id);
    if (found == sources_.end()) return false;
    MixerSource& source = found->second;
    if (source.generation != generation || source.queue.size() >= kMaxQueuedSegments) return false;
    source.queue.push_back(MixerSegment{startMs, std::move(samples)});
    return true;
}

void MixerCore::clear() {
    sources_.clear();
    clock_ = 0;
}

void MixerCore::mix(double nowMs, int rate, int16_t* stream, int frames) {
    std::fill(stream, stream + size_t(std::max(frames, 0)) * 2, int16_t(0));
    if (rate <= 0 || frames <= 0) return;

    const double t0 = (clock_ == 0 || std::fabs(clock_ - nowMs) > kResyncMs) ? nowMs : clock_;
    clock_ = t0 + double(frames) * 1000.0 / rate;

    for (auto& [id, source] : sources_) {
        while (!source.queue.empty() && t0 >= segmentEndMs(source.queue.front(), rate)) source.queue.pop_front();

        for (const MixerSegment& segment : source.queue) {
            const int64_t count = int64_t(segment.samples.size());
            // The frame of this buffer where the first sample falls; clamped
            // so that far-away starts convert safely and still miss the buffer.
            const double exact = std::round(double(rate) * (segment.startMs - t0) / 1000.0);
            const int64_t offset = int64_t(std::clamp(exact, -double(count), double(frames)));
            const int64_t first = std::max<int64_t>(offset, 0);
            const int64_t last = std::min<int64_t>(offset + count, frames);
            for (int64_t i = first; i < last; ++i) {
                const int16_t s = segment.samples[size_t(i - offset)];
                addScaled(stream[2 * i], source.leftGain, s);
                addScaled(stream[2 * i + 1], source.rightGain, s);
            }
        }
    }
}

}  // namespace vobu
