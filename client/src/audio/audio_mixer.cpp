#include "audio/audio_mixer.h"

#include "platform/performance_clock.h"

namespace vobu {

namespace {

// Holds the device lock for one change made by the main thread.
class DeviceLock {
public:
    explicit DeviceLock(SDL_AudioDeviceID device) : device_(device) { SDL_LockAudioDevice(device_); }
    ~DeviceLock() { SDL_UnlockAudioDevice(device_); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID device_;
};

}  // namespace

AudioMixer& AudioMixer::instance() {
    static AudioMixer mixer;
    return mixer;
}

AudioMixer::~AudioMixer() {
    // The audio thread must not run into freed sources at process exit.
    if (device_ != 0) SDL_CloseAudioDevice(device_);
}

void AudioMixer::open() {
    if (device_ != 0) return;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    SDL_AudioSpec desired{};
    desired.freq = kDesiredRate;
    desired.format = AUDIO_S16LSB;
    desired.channels = 2;
    desired.samples = kBufferFrames;
    desired.callback = &AudioMixer::mix;
    desired.userdata = this;
    SDL_AudioSpec granted{};
    const SDL_AudioDeviceID device =
        SDL_OpenAudioDevice(nullptr, 0, &desired, &granted, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (device == 0) return;
    format_ = granted;
    device_ = device;
    SDL_PauseAudioDevice(device_, 0);
}

void AudioMixer::close() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);  // the callback no longer runs after this
    device_ = 0;
    core_.clear();
}

void AudioMixer::setSource(int id, int generation, float volume, float pan) {
    if (device_ == 0) return;
    DeviceLock lock(device_);
    core_.setSource(id, generation, volume, pan);
}

void AudioMixer::removeSource(int id) {
    if (device_ == 0) return;
    DeviceLock lock(device_);
    core_.removeSource(id);
}

bool AudioMixer::queueSegment(int id, int generation, double startMs, std::vector<int16_t>&& samples) {
    if (device_ == 0) return false;
    DeviceLock lock(device_);
    return core_.queueSegment(format_.freq, id, generation, startMs, std::move(samples));
}

void AudioMixer::mix(void* userData, Uint8* stream, int length) {
    auto* mixer = static_cast<AudioMixer*>(userData);
    const int frames = length / 4;
    mixer->core_.mix(performanceMs(), mixer->format_.freq, reinterpret_cast<int16_t*>(stream), frames);
    // An odd tail (never asked for in this format) stays silent.
    for (int i = frames * 4; i < length; ++i) stream[i] = 0;
}

}  // namespace vobu
