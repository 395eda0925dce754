#pragma once

#include <QList>
#include <QString>

#include <functional>

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

    // Told once, with a German text for the user, when the signal cannot sound
    // at all (its audio output is missing).
    void setUnavailableReport(std::function<void(const QString&)> report) { FUnavailable = std::move(report); }

protected:
    void reportUnavailable(const QString& text) const {
        if (FUnavailable)
            FUnavailable(text);
    }

private:
    std::function<void(const QString&)> FUnavailable;
};
