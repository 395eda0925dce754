#include "platform/windows/WindowsSound.h"

#include <windows.h>

#include <mmsystem.h>

TWindowsSound::~TWindowsSound() {
    if (FTones.joinable())
        FTones.join();
}

void TWindowsSound::playTones(const QList<TTone>& tones) {
    if (tones.isEmpty() || FPlaying)
        return; // an earlier signal still sounds
    if (FTones.joinable())
        FTones.join(); // the last signal's thread, which has ended its work
    FPlaying = true;
    FTones = std::thread([this, tones] {
        for (const TTone& tone : tones) {
            if (tone.durationMs <= 0)
                continue;
            // A tone of 0 Hz is a pause of its length.
            if (tone.frequencyHz <= 0 || !::Beep(DWORD(tone.frequencyHz), DWORD(tone.durationMs)))
                ::Sleep(DWORD(tone.durationMs));
        }
        FPlaying = false;
    });
}

void TWindowsSound::playFile(const QString& path) {
    if (path.isEmpty())
        return;
    ::PlaySoundW(reinterpret_cast<const wchar_t*>(path.utf16()), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
}
