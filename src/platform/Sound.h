#pragma once

#include <QList>
#include <QString>

struct TTone {
    int frequencyHz = 0;
    int durationMs = 0;
};

// Arrival signal output. Never blocks; a missing audio device means silence.
class ISound {
public:
    virtual ~ISound() = default;
    // Plays the tones one after another. Does nothing while an earlier signal still sounds.
    virtual void playTones(const QList<TTone>& tones) = 0;
    // Plays a sound file without waiting; errors are swallowed.
    virtual void playFile(const QString& path) = 0;
    virtual bool isPlaying() const = 0;
};
