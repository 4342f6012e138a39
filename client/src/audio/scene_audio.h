#pragma once
// The positional sound of the world. The server places "audio" entities,
// each tied to a numbered stream, and streams short Ogg Vorbis segments
// stamped with their start time. Each frame this chooses at most four
// streams, gives each a gain and a pan from its loudest emitter as heard
// from the listener, and turns queued segments one at a time into mixer
// segments (decode at 22050 Hz mono, resample to the device rate), spread
// over frames under a time budget so the frame rate does not suffer.

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "audio/audio_sink.h"
#include "audio/polyphase_resampler.h"
#include "platform/performance_clock.h"
#include "world/movement_types.h"
#include "world/scene.h"

struct stb_vorbis;

namespace vobu {

struct SceneAudioStream {
    int32_t generation = 0;
    // Seq of the last segment accepted for this stream, -1 before any. Wide
    // enough to compare with every unsigned 32-bit seq without wrapping.
    int64_t lastSeq = -1;
    float gain = -1;  // last values sent to the mixer
    float pan = 0;
};

class SceneAudio {
public:
    static constexpr size_t kMaxStreams = 4;
    static constexpr int kSegmentRate = 22050;
    static constexpr size_t kMaxSegmentFrames = 66150;  // 3 s at 22050 Hz
    static constexpr size_t kDecoderMemoryBytes = 524288;
    static constexpr size_t kStepSamples = 1024;
    static constexpr float kEmitterGain = 0.65f;
    static constexpr float kEarHeight = 0.5f;
    static constexpr float kFullPanDistance = 8.0f;
    static constexpr float kSendThreshold = 0.005f;

    // Plays through the process-wide mixer.
    SceneAudio();
    // Plays through `sink` (tests).
    explicit SceneAudio(AudioSink& sink);
    ~SceneAudio();
    SceneAudio(const SceneAudio&) = delete;
    SceneAudio& operator=(const SceneAudio&) = delete;

    void initialize();
    // One frame: `listener` is the local player's predicted state (its feet),
    // `right` the camera's right vector; `enabled` while a joined game with
    // its assets and join sound is shown. Consumes `scene.audioSegments`.
    void update(Scene& scene, const MoveState& listener, const std::array<float, 3>& right, bool enabled,
                double budgetMs);
    // Drops the segment in hand.
    void resetStream();
    // Drops the segment in hand and every stream's mixer source.
    void stopAll();
    void shutdown();

    // The clock of "now" (segment start times) and of the time budget.
    void setClock(MillisecondClock clockMs) { clock_ = std::move(clockMs); }

    const std::map<int32_t, SceneAudioStream>& streams() const { return streams_; }
    const PolyphaseResampler& resampler() const { return resampler_; }
    int32_t outputRate() const { return outputRate_; }
    bool decoding() const { return decoder_ != nullptr; }
    bool resampling() const { return ready_; }
    size_t decodedCount() const { return decoded_.size(); }
    uint32_t resamplePosition() const { return resamplePosition_; }

private:
    void chooseStreams(const Scene& scene, const MoveState& listener, const std::array<float, 3>& right);
    void updateStream(int32_t id, SceneAudioStream& stream, int32_t generation, const Scene& scene,
                      const MoveState& listener, const std::array<float, 3>& right);
    void abandonStaleSegment(double now);
    bool takeSegment(Scene& scene, double now);
    bool openDecoder();
    bool acceptable(const AudioSegment& segment, double now) const;
    bool workStep();  // false when the update must end
    bool decodeStep();
    bool resampleStep();
    void finishDecoding();

    AudioSink& sink_;
    MillisecondClock clock_ = performanceMs;

    std::map<int32_t, SceneAudioStream> streams_;
    PolyphaseResampler resampler_;
    stb_vorbis* decoder_ = nullptr;
    int32_t currentStreamId_ = 0;
    int32_t currentGeneration_ = 0;
    uint32_t currentSeq_ = 0;
    double currentStartMs_ = 0;
    double currentDuration_ = 0;
    std::vector<uint8_t> currentBytes_;
    std::vector<uint8_t> decoderMemory_;
    std::vector<int16_t> decoded_;
    std::vector<int16_t> output_;
    uint32_t resamplePosition_ = 0;
    bool ready_ = false;
    int32_t outputRate_ = 48000;
};

}  // namespace vobu
