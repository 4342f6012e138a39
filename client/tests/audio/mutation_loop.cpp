// Damaged Ogg Vorbis bytes, as a server could send them, through both
// decoders: the join sound loader and the streamed scene audio. Nothing may
// crash or read out of bounds (this also runs under the sanitizers), and
// whatever comes out must respect the limits.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "audio/audio_test_support.h"
#include "audio/scene_audio.h"
#include "audio/sound_clip.h"

namespace vobu {
namespace {

std::vector<uint8_t> mutate(const std::vector<uint8_t>& original, std::mt19937& random) {
    std::vector<uint8_t> bytes = original;
    const int kind = int(random() % 4);
    const size_t at = bytes.empty() ? 0 : random() % bytes.size();
    switch (kind) {
        case 0:  // flip a few bits
            for (int i = 0, n = 1 + int(random() % 8); i < n && !bytes.empty(); ++i)
                bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
            break;
        case 1:  // cut short
            bytes.resize(at);
            break;
        case 2:  // overwrite a run with one value
            for (size_t i = at, end = std::min(bytes.size(), at + 1 + random() % 64); i < end; ++i)
                bytes[i] = uint8_t(random());
            break;
        default:  // insert bytes
            bytes.insert(bytes.begin() + long(at), 1 + random() % 32, uint8_t(random()));
            break;
    }
    return bytes;
}

const char* const kFixtures[] = {"segment_beep_250ms.ogg", "clip_stereo_22050_1s.ogg", "rate_8000.ogg"};

TEST(AudioMutation, SoundClipSurvivesDamagedStreams) {
    std::mt19937 random(1);
    for (const char* fixture : kFixtures) {
        const std::vector<uint8_t> original = testing::readFixture(fixture);
        ASSERT_FALSE(original.empty());
        for (int round = 0; round < 150; ++round) {
            testing::OfflineMixer mixer(round % 2 ? 44100 : 48000);
            testing::SteppingClock clock;
            SoundClip clip(mixer);
            clip.setClock(std::ref(clock));
            clip.init();
            if (clip.load(mutate(original, random), "k")) {
                EXPECT_LE(clip.samples().size(), size_t(mixer.deviceRate()) * 10 * 2);
                clip.play();
            }
        }
    }
}

TEST(AudioMutation, SceneAudioSurvivesDamagedSegments) {
    std::mt19937 random(2);
    testing::OfflineMixer mixer(48000);
    testing::SteppingClock clock;
    SceneAudio audio(mixer);
    audio.setClock(std::ref(clock));
    audio.initialize();
    Scene scene;
    scene.entities = {testing::audioEntity(1, 1, 1)};
    const MoveState listener;
    uint32_t seq = 0;
    for (const char* fixture : kFixtures) {
        const std::vector<uint8_t> original = testing::readFixture(fixture);
        for (int round = 0; round < 150; ++round) {
            AudioSegment segment;
            segment.streamId = 1;
            segment.generation = 1;
            segment.seq = seq++;
            segment.startMs = clock.now + 100;
            segment.duration = 0.25;
            segment.data = mutate(original, random);
            scene.audioSegments.push_back(std::move(segment));
            for (int frame = 0; frame < 400 && (!scene.audioSegments.empty() || audio.decoding() || audio.resampling());
                 ++frame)
                audio.update(scene, listener, {1.0f, 0.0f, 0.0f}, true, 2.0);
            ASSERT_FALSE(audio.decoding() || audio.resampling());
            mixer.core.clear();
            mixer.core.setSource(1, 1, 0.65f, 0.0f);
        }
    }
    for (const auto& call : mixer.queueCalls)
        EXPECT_LE(call.samples, 144000u + 4800u);  // 3 s at 48 kHz and the tolerance
}

}  // namespace
}  // namespace vobu
