#include "audio/scene_audio.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "audio/audio_mixer.h"
#include "audio/vorbis.h"
#include "audio/vorbis_guard.h"

namespace vobu {

namespace {

constexpr double kMinBudgetMs = 0.25;
constexpr double kMaxBudgetMs = 8.0;
// The announced duration wins over a decoded length this close to it.
constexpr double kDurationToleranceSeconds = 0.1;

bool isAudioEntity(const SceneEntity& entity) { return entity.type == "audio"; }

double segmentEndMs(double startMs, double durationSeconds) { return startMs + durationSeconds * 1000.0; }

}  // namespace

SceneAudio::SceneAudio() : SceneAudio(AudioMixer::instance()) {}

SceneAudio::SceneAudio(AudioSink& sink) : sink_(sink), decoderMemory_(kDecoderMemoryBytes) {
    decoded_.reserve(kMaxSegmentFrames);
}

SceneAudio::~SceneAudio() { resetStream(); }

void SceneAudio::initialize() {
    sink_.open();
    if (sink_.deviceRate() > 0) outputRate_ = sink_.deviceRate();
    resampler_.setOutputRate(outputRate_);
    decoderMemory_.resize(kDecoderMemoryBytes);
    decoded_.reserve(kMaxSegmentFrames);
}

void SceneAudio::resetStream() {
    if (decoder_ != nullptr) stb_vorbis_close(decoder_);
    decoder_ = nullptr;
    currentStreamId_ = 0;
    currentGeneration_ = 0;
    currentSeq_ = 0;
    currentStartMs_ = 0;
    currentDuration_ = 0;
    currentBytes_ = std::vector<uint8_t>();
    decoded_.clear();
    output_.clear();
    ready_ = false;
    resamplePosition_ = 0;
}

void SceneAudio::stopAll() {
    resetStream();
    for (const auto& entry : streams_) sink_.removeSource(entry.first);
    streams_.clear();
}

void SceneAudio::shutdown() {
    stopAll();
    sink_.close();
}

void SceneAudio::update(Scene& scene, const MoveState& listener, const std::array<float, 3>& right, bool enabled,
                        double budgetMs) {
    if (!enabled) {
        stopAll();
        scene.audioSegments.clear();
        return;
    }
    chooseStreams(scene, listener, right);
    const double now = clock_();
    abandonStaleSegment(now);
    if (decoder_ == nullptr && !ready_ && !takeSegment(scene, now)) return;

    const double deadline = clock_() + std::clamp(budgetMs, kMinBudgetMs, kMaxBudgetMs);
    do {
        if (!workStep()) return;
    } while (clock_() < deadline);
}

void SceneAudio::chooseStreams(const Scene& scene, const MoveState& listener, const std::array<float, 3>& right) {
    // The first four distinct stream ids in entity order, each with the
    // generation of its last entity.
    std::vector<std::pair<int32_t, int32_t>> chosen;  // id, generation
    for (const SceneEntity& entity : scene.entities) {
        if (!isAudioEntity(entity)) continue;
        auto found = std::find_if(chosen.begin(), chosen.end(),
                                  [&](const auto& entry) { return entry.first == entity.streamId; });
        if (found != chosen.end())
            found->second = entity.generation;
        else if (chosen.size() < kMaxStreams)
            chosen.emplace_back(entity.streamId, entity.generation);
    }
    std::sort(chosen.begin(), chosen.end());

    for (auto it = streams_.begin(); it != streams_.end();) {
        const bool kept =
            std::any_of(chosen.begin(), chosen.end(), [&](const auto& entry) { return entry.first == it->first; });
        if (kept) {
            ++it;
        } else {
            sink_.removeSource(it->first);
            it = streams_.erase(it);
        }
    }
    for (const auto& [id, generation] : chosen) updateStream(id, streams_[id], generation, scene, listener, right);
}

void SceneAudio::updateStream(int32_t id, SceneAudioStream& stream, int32_t generation, const Scene& scene,
                              const MoveState& listener, const std::array<float, 3>& right) {
    const bool newGeneration = stream.generation != generation;
    if (newGeneration) {
        stream.generation = generation;
        stream.lastSeq = -1;
    }

    // The loudest emitter of the stream decides both gain and pan.
    double bestGain = 0.0;
    double pan = 0.0;
    const double earZ = listener.z + kEarHeight;
    for (const SceneEntity& entity : scene.entities) {
        if (!isAudioEntity(entity) || entity.streamId != id) continue;
        const double dx = double(entity.x) - listener.x;
        const double dy = double(entity.y) - listener.y;
        const double dz = double(entity.z) - earZ;
        const double radius = entity.radius;
        if (radius == 0.0) {  // not positional: everywhere at one level, centred
            if (bestGain < kEmitterGain) {
                bestGain = kEmitterGain;
                pan = 0.0;
            }
            continue;
        }
        const double distance = std::sqrt(dx * dx + dy * dy + dz * dz);
        const double falloff = std::max(1.0 - distance / radius, 0.0);
        const double gain = kEmitterGain * falloff * falloff;
        if (gain > bestGain) {
            bestGain = gain;
            // Within a few units the pan narrows toward the centre, so that an
            // emitter passed closely does not flip from ear to ear.
            const double across = dx * right[0] + dy * right[1];
            const double horizontal = std::max(std::sqrt(dx * dx + dy * dy), double(kFullPanDistance));
            pan = std::clamp(across / horizontal, -1.0, 1.0);
        }
    }

    const float gain = float(bestGain);
    const float newPan = float(pan);
    const bool send = newGeneration || std::fabs(gain - stream.gain) >= kSendThreshold ||
                      std::fabs(newPan - stream.pan) >= kSendThreshold || (gain == 0.0f && stream.gain > 0.0f);
    if (send) {
        sink_.setSource(id, stream.generation, gain, newPan);
        stream.gain = gain;
        stream.pan = newPan;
    }
}

void SceneAudio::abandonStaleSegment(double now) {
    if (decoder_ == nullptr && !ready_) return;
    auto found = streams_.find(currentStreamId_);
    if (found == streams_.end() || found->second.generation != currentGeneration_ ||
        segmentEndMs(currentStartMs_, currentDuration_) <= now)
        resetStream();
}

bool SceneAudio::acceptable(const AudioSegment& segment, double now) const {
    auto found = streams_.find(segment.streamId);
    if (found == streams_.end()) return false;
    const SceneAudioStream& stream = found->second;
    // Compared in 64 bits: a 32-bit signed "none yet" of -1 would otherwise
    // turn into the largest unsigned value and refuse every segment.
    return stream.gain > 0.0f && segment.generation == stream.generation && int64_t(segment.seq) > stream.lastSeq &&
           segmentEndMs(segment.startMs, segment.duration) > now;
}

bool SceneAudio::takeSegment(Scene& scene, double now) {
    auto& queue = scene.audioSegments;
    while (!queue.empty()) {
        AudioSegment segment = std::move(queue.front());
        queue.erase(queue.begin());
        if (!acceptable(segment, now)) continue;
        streams_[segment.streamId].lastSeq = segment.seq;
        currentStreamId_ = segment.streamId;
        currentGeneration_ = segment.generation;
        currentSeq_ = segment.seq;
        currentStartMs_ = segment.startMs;
        currentDuration_ = segment.duration;
        currentBytes_ = std::move(segment.data);
        if (openDecoder()) {
            decoded_.clear();
            return true;
        }
        resetStream();
    }
    return false;
}

// Opens the segment in hand inside the decoder memory; true when it is a
// stream this can play (22050 Hz mono, 1..66150 frames).
bool SceneAudio::openDecoder() {
    if (currentBytes_.size() > size_t(INT_MAX) || !vorbisHeadersSafe(currentBytes_.data(), currentBytes_.size()))
        return false;
    const stb_vorbis_alloc memory{reinterpret_cast<char*>(decoderMemory_.data()), int(decoderMemory_.size())};
    int error = 0;
    decoder_ = stb_vorbis_open_memory(currentBytes_.data(), int(currentBytes_.size()), &error, &memory);
    if (decoder_ == nullptr) return false;
    const stb_vorbis_info info = stb_vorbis_get_info(decoder_);
    const unsigned length = stb_vorbis_stream_length_in_samples(decoder_);
    return info.channels == 1 && info.sample_rate == unsigned(kSegmentRate) && length >= 1 &&
           length <= kMaxSegmentFrames;
}

bool SceneAudio::workStep() {
    if (decoder_ != nullptr) return decodeStep();
    if (ready_) return resampleStep();
    return false;
}

bool SceneAudio::decodeStep() {
    short chunk[kStepSamples];
    const int count = stb_vorbis_get_samples_short_interleaved(decoder_, 1, chunk, int(kStepSamples));
    if (count < 0 || decoded_.size() + size_t(std::max(count, 0)) > kMaxSegmentFrames) {
        resetStream();
        return false;
    }
    if (count > 0) {
        decoded_.insert(decoded_.end(), chunk, chunk + count);
        return true;
    }
    stb_vorbis_close(decoder_);
    decoder_ = nullptr;
    if (decoded_.empty()) {
        resetStream();
        return false;
    }
    finishDecoding();
    return true;
}

void SceneAudio::finishDecoding() {
    ready_ = true;
    resamplePosition_ = 0;
    const int64_t natural = int64_t(decoded_.size()) * outputRate_ / kSegmentRate;
    int64_t length = natural;
    // Compared in floating point first, so that no duration converts out of range.
    const double announced = std::round(double(outputRate_) * currentDuration_);
    if (announced != 0.0 && std::fabs(announced - double(natural)) <= kDurationToleranceSeconds * outputRate_)
        length = int64_t(announced);
    output_.assign(size_t(std::max<int64_t>(length, 0)), 0);
}

bool SceneAudio::resampleStep() {
    const size_t end = std::min(output_.size(), size_t(resamplePosition_) + kStepSamples);
    resampler_.resample(decoded_.data(), decoded_.size(), output_.data(), output_.size(), resamplePosition_, end);
    resamplePosition_ = uint32_t(end);
    if (resamplePosition_ < output_.size()) return true;
    sink_.queueSegment(currentStreamId_, currentGeneration_, currentStartMs_, std::move(output_));
    resetStream();
    return false;
}

}  // namespace vobu
