#include "audio/vorbis_guard.h"

#include <gtest/gtest.h>

#include <functional>

#include "audio/audio_test_support.h"
#include "audio/scene_audio.h"
#include "audio/sound_clip.h"

namespace vobu {
namespace {

void putLe32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + size_t(i)] = uint8_t(value >> (8 * i));
}
uint32_t getLe32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

// Where the comment header's fields sit in an encoder's stream: the first
// page holds only the 30-byte identification header, the comment header
// opens the second page.
struct CommentLayout {
    size_t packet;       // first byte of the comment packet
    size_t vendorField;  // vendor length
    size_t countField;   // comment count
    size_t firstComment;
};

CommentLayout layoutOf(const std::vector<uint8_t>& bytes) {
    const size_t secondPage = 27 + 1 + 30;
    EXPECT_EQ(std::string(bytes.begin() + long(secondPage), bytes.begin() + long(secondPage) + 4), "OggS");
    CommentLayout layout;
    layout.packet = secondPage + 27 + bytes[secondPage + 26];
    layout.vendorField = layout.packet + 7;
    layout.countField = layout.vendorField + 4 + getLe32(bytes, layout.vendorField);
    layout.firstComment = layout.countField + 4;
    return layout;
}

struct GuardCase {
    const char* name;
    std::function<void(std::vector<uint8_t>&, const CommentLayout&)> damage;
    bool safe;
};

TEST(VorbisGuard, RefusesCommentHeadersTheDecoderCannotRecoverFrom) {
    const std::vector<uint8_t> original = testing::readFixture("segment_beep_250ms.ogg");
    ASSERT_FALSE(original.empty());
    const CommentLayout layout = layoutOf(original);
    ASSERT_GE(getLe32(original, layout.countField), 0u);

    const GuardCase cases[] = {
        {"as encoded", [](auto&, const auto&) {}, true},
        {"comment count in the billions", [](auto& b, const auto& l) { putLe32(b, l.countField, 0x7fffffff); }, false},
        {"comment count just past the packet", [](auto& b, const auto& l) { putLe32(b, l.countField, 5000); }, false},
        {"vendor length past the packet", [](auto& b, const auto& l) { putLe32(b, l.vendorField, 0xfffffff0); }, false},
        {"comment length past the packet",
         [](auto& b, const auto& l) {
             putLe32(b, l.countField, 1);
             putLe32(b, l.firstComment, 0x40000000);
         },
         false},
        {"not an Ogg stream", [](auto& b, const auto&) { b[0] = 'X'; }, false},
        {"identification header not tagged", [](auto& b, const auto&) { b[28] = 5; }, false},
        {"comment header not tagged", [](auto& b, const auto& l) { b[l.packet] = 5; }, false},
        {"cut inside the comment header", [](auto& b, const auto& l) { b.resize(l.countField + 2); }, false},
        {"cut inside the first page", [](auto& b, const auto&) { b.resize(40); }, false},
        {"empty", [](auto& b, const auto&) { b.clear(); }, false},
    };
    for (const GuardCase& c : cases) {
        std::vector<uint8_t> bytes = original;
        c.damage(bytes, layout);
        EXPECT_EQ(vorbisHeadersSafe(bytes.data(), bytes.size()), c.safe) << c.name;
    }
}

TEST(VorbisGuard, EveryFixtureThatDecodesPasses) {
    for (const char* fixture : {"clip_mono_22050_1s.ogg", "clip_stereo_22050_1s.ogg", "join_stereo_48000.ogg",
                                "rate_8000.ogg", "rate_96000.ogg", "three_channels.ogg", "segment_2000ms.ogg"}) {
        const std::vector<uint8_t> bytes = testing::readFixture(fixture);
        EXPECT_TRUE(vorbisHeadersSafe(bytes.data(), bytes.size())) << fixture;
    }
}

// The decoder library crashes on these; both loaders must refuse them first.
TEST(VorbisGuard, LoadersRefuseAHugeCommentCount) {
    std::vector<uint8_t> bytes = testing::readFixture("segment_beep_250ms.ogg");
    putLe32(bytes, layoutOf(bytes).countField, 0x7fffffff);

    testing::OfflineMixer mixer(48000);
    testing::SteppingClock clock;
    SoundClip clip(mixer);
    clip.setClock(std::ref(clock));
    clip.init();
    EXPECT_FALSE(clip.load(bytes, "k"));

    SceneAudio audio(mixer);
    audio.setClock(std::ref(clock));
    audio.initialize();
    Scene scene;
    scene.entities = {testing::audioEntity(1, 1, 1)};
    AudioSegment segment;
    segment.streamId = 1;
    segment.generation = 1;
    segment.startMs = clock.now + 100;
    segment.duration = 0.25;
    segment.data = bytes;
    scene.audioSegments = {segment};
    audio.update(scene, MoveState{}, {1.0f, 0.0f, 0.0f}, true, 2.0);
    EXPECT_FALSE(audio.decoding());
    EXPECT_TRUE(scene.audioSegments.empty());
}

}  // namespace
}  // namespace vobu
