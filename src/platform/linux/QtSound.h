#pragma once

#include "platform/Sound.h"

class TQtSound : public ISound {
public:
    void playTones(const QList<TTone>&) override {}
    void playFile(const QString&) override {}
    bool isPlaying() const override { return false; }
};
