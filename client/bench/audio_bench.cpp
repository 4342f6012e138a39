// Costs of the sound path: whole-sound resampling at load time, the scene
// audio's work per frame under its 2 ms budget, and one mixer callback.

#include <benchmark/benchmark.h>

#include <algorithm>

#include "audio/audio_test_support.h"
#include "audio/mixer_core.h"
#include "audio/resample_pcm.h"
#include "audio/scene_audio.h"
#include "platform/performance_clock.h"

namespace vobu {
namespace {

// A 10 s join sound, resampled from its rate to the device rate.
void BM_ResamplePcm10s(benchmark::State& state) {
    const int channels = int(state.range(0));
    const int from = int(state.range(1));
    const int to = int(state.range(2));
    const std::vector<int16_t> sound = testing::sine(440, from, size_t(from) * 10, 16000, channels);
    for (auto _ : state) {
        std::vector<int16_t> out = resamplePcm(sound, channels, from, to);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetLabel(std::to_string(channels) + " ch " + std::to_string(from) + " -> " + std::to_string(to));
}
BENCHMARK(BM_ResamplePcm10s)
    ->Args({1, 22050, 48000})
    ->Args({2, 22050, 48000})
    ->Args({2, 48000, 44100})
    ->Args({2, 44100, 48000})
    ->Unit(benchmark::kMillisecond);

AudioSegment streamSegment(uint32_t seq, double startMs) {
    AudioSegment s;
    s.streamId = 1;
    s.generation = 1;
    s.seq = seq;
    s.startMs = startMs;
    s.duration = 2.0;
    s.data = testing::readFixture("segment_2000ms.ogg");
    return s;
}

// One frame of scene audio with the Application's 2 ms budget while a
// stream keeps sending 2 s segments; the slowest frame is reported too.
void BM_SceneAudioFrame(benchmark::State& state) {
    testing::OfflineMixer mixer(int(state.range(0)));
    SceneAudio audio(mixer);
    audio.initialize();
    Scene scene;
    scene.entities = {testing::audioEntity(1, 1, 1, 3, 0, 0, 30)};
    const MoveState listener;
    uint32_t seq = 0;
    double slowestMs = 0;
    int64_t frames = 0, overBudget = 0;
    for (auto _ : state) {
        if (scene.audioSegments.empty() && !audio.decoding() && !audio.resampling()) {
            state.PauseTiming();
            scene.audioSegments.push_back(streamSegment(seq++, performanceMs() + 60000.0));
            mixer.core.clear();  // keep the offline queue from filling up
            mixer.core.setSource(1, 1, 0.5f, 0.1f);
            state.ResumeTiming();
        }
        const double begin = performanceMs();
        audio.update(scene, listener, {1.0f, 0.0f, 0.0f}, true, 2.0);
        const double spentMs = performanceMs() - begin;
        slowestMs = std::max(slowestMs, spentMs);
        ++frames;
        overBudget += spentMs > 2.5;  // the budget plus the step that crosses it
    }
    state.counters["over_2.5ms_share"] = frames ? double(overBudget) / double(frames) : 0.0;
    state.counters["slowest_ms"] = slowestMs;
    state.counters["segments"] = double(seq);
}
BENCHMARK(BM_SceneAudioFrame)->Arg(48000)->Arg(44100)->Unit(benchmark::kMicrosecond);

// A whole 2 s segment, decoded and resampled without a budget.
void BM_SceneAudioWholeSegment(benchmark::State& state) {
    testing::OfflineMixer mixer(48000);
    testing::SteppingClock clock;  // frozen: the budget never runs out
    SceneAudio audio(mixer);
    audio.setClock(std::ref(clock));
    audio.initialize();
    Scene scene;
    scene.entities = {testing::audioEntity(1, 1, 1)};
    const MoveState listener;
    uint32_t seq = 0;
    for (auto _ : state) {
        state.PauseTiming();
        mixer.core.clear();
        mixer.core.setSource(1, 1, 0.5f, 0.0f);
        scene.audioSegments.push_back(streamSegment(seq++, clock.now + 1000.0));
        state.ResumeTiming();
        audio.update(scene, listener, {1.0f, 0.0f, 0.0f}, true, 2.0);
    }
}
BENCHMARK(BM_SceneAudioWholeSegment)->Unit(benchmark::kMillisecond);

// One 1024-frame device buffer with the join sound and four scene streams,
// each holding four queued segments.
void BM_MixerCallback(benchmark::State& state) {
    MixerCore core;
    const std::vector<int16_t> tone = testing::sine(440, 48000, 48000 * 3, 12000);
    const double now = 1000.0;
    for (int id = 0; id < 5; ++id) {
        core.setSource(id, 1, 0.8f, 0.2f * float(id) - 0.4f);
        for (int s = 0; s < 4; ++s) core.queueSegment(48000, id, 1, now + 5.0 * s, std::vector<int16_t>(tone));
    }
    std::vector<int16_t> buffer(2048);
    for (auto _ : state) {
        core.mix(now, 48000, buffer.data(), 1024);  // the same buffer again: nothing plays out
        benchmark::DoNotOptimize(buffer.data());
    }
}
BENCHMARK(BM_MixerCallback)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vobu
