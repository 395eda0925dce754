#pragma once

#include "platform/Sound.h"

#include <atomic>
#include <thread>

// The arrival signal through Windows: the tones by Beep, one after another on
// a worker thread of their own so that the program never waits for them (a
// signal asked for while one still sounds is dropped, not queued); the sound
// file by PlaySoundW, asynchronously, a new file replacing the one playing.
// Errors of either stay silent.
class TWindowsSound : public ISound {
public:
    TWindowsSound() = default;
    // Waits for the tones still sounding (at most their length).
    ~TWindowsSound() override;

    void playTones(const QList<TTone>& tones) override;
    void playFile(const QString& path) override;
    bool isPlaying() const override { return FPlaying; }

private:
    std::thread FTones;
    std::atomic<bool> FPlaying = false;
};
