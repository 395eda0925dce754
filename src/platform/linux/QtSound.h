#pragma once

#include "platform/Sound.h"

#include <QAudioFormat>
#include <QByteArray>
#include <QObject>
#include <QPointer>

class QAudioSink;
class QBuffer;
class QSoundEffect;
class QTimer;

// The tones one after another as raw samples in the given format (every channel
// the same). Each tone is a sine at full-scale amplitude times 0.5 with a short
// linear fade in and out so that its edges do not click; a tone of 0 Hz is
// silence. Formats other than UInt8, Int16, Int32 and Float give an empty array.
QByteArray RenderTones(const QList<TTone>& tones, const QAudioFormat& format);

// The arrival signal through Qt Multimedia: tones rendered in memory and played
// by a QAudioSink, sound files by QSoundEffect. Nothing here blocks; without an
// audio device, or on any audio error, it stays silent.
class TQtSound : public QObject, public ISound {
    Q_OBJECT
public:
    explicit TQtSound(QObject* parent = nullptr);
    ~TQtSound() override;

    void playTones(const QList<TTone>& tones) override;
    void playFile(const QString& path) override;
    bool isPlaying() const override { return FSink != nullptr; }

    // The format tones are rendered in when the device takes it.
    static QAudioFormat preferredToneFormat();

private:
    void onSinkStateChanged();
    void stopTones();
    void finishTones();

    QAudioSink* FSink = nullptr;
    QBuffer* FBuffer = nullptr;
    QTimer* FGuard = nullptr;
    QPointer<QSoundEffect> FEffect;
};
