#pragma once
#include <string>

namespace kb::platform {

// Plays .wav files without waiting for them. A missing file, a file that can't be
// decoded or a machine without an audio device is silent; nothing is reported.
// Implementations are thread-safe: any thread may call play_async.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Starts playing the file at path and returns at once.
    virtual void play_async(const std::string& path) = 0;
};

// A player that never makes a sound (headless runs, tools).
class SilentSoundPlayer final : public SoundPlayer {
public:
    void play_async(const std::string&) override {}
};

}  // namespace kb::platform
