#pragma once
// What the sound clip and the scene audio need of the sound output: numbered
// sources with a generation, a volume and a pan, each with a queue of mono
// segments at the device rate. The process-wide AudioMixer is the real one;
// tests put an offline mixer in its place to run at any rate and clock.

#include <cstdint>
#include <vector>

namespace vobu {

class AudioSink {
public:
    virtual ~AudioSink() = default;

    // Opens the output; does nothing when it is open already. Failures are
    // silent: every later call then does nothing.
    virtual void open() = 0;
    // Closes the output and forgets every source.
    virtual void close() = 0;
    // Sample frames per second of the open output; 0 while closed.
    virtual int deviceRate() const = 0;

    virtual void setSource(int id, int generation, float volume, float pan) = 0;
    virtual void removeSource(int id) = 0;
    // Takes the samples (mono, device rate) only when it accepts them; true then.
    virtual bool queueSegment(int id, int generation, double startMs, std::vector<int16_t>&& samples) = 0;
};

}  // namespace vobu
