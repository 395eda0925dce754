#pragma once

#include "platform/Sound.h"

#include <QLibrary>
#include <QStringList>

#include <memory>

// The arrival signal, with the audio output (Qt Multimedia and the sound
// system's libraries) in a module of its own that is loaded when the first
// sound is to play: a program that never sounds never maps it. Without the
// module it stays silent and says so once.
class TLazySound : public ISound {
public:
    // The folders the module "palavero-sound" is looked for in, in order.
    explicit TLazySound(QStringList folders = defaultFolders());
    ~TLazySound() override;

    void playTones(const QList<TTone>& tones) override;
    void playFile(const QString& path) override;
    bool isPlaying() const override { return FOutput && FOutput->isPlaying(); }

    bool isLoaded() const { return FOutput != nullptr; }
    // The folders beside the executable in `executableFolder`: the folder
    // itself (a build tree), then the module folder of an installation
    // (../lib/palavero beside bin/), wherever it was installed or unpacked.
    static QStringList foldersBeside(const QString& executableFolder);
    static QStringList defaultFolders();
    // Shown to the user when the module cannot be loaded.
    static QString missingText();

private:
    ISound* output();

    QStringList FFolders;
    bool FTried = false;
    QLibrary FLibrary;
    std::unique_ptr<ISound> FOutput;
};
