#include "platform/linux/QtSound.h"

#include <QAudioDevice>
#include <QAudioSink>
#include <QBuffer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <utility>

namespace {
Q_LOGGING_CATEGORY(lcSound, "palavero.platform.sound", QtInfoMsg)

constexpr double Amplitude = 0.5; // of full scale
constexpr int FadeMs = 3;
// Extra time the sink gets beyond the sound's length before it is stopped anyway.
constexpr int GuardSlackMs = 2000;

void WriteSample(char*& out, QAudioFormat::SampleFormat sampleFormat, double value) {
    switch (sampleFormat) {
    case QAudioFormat::UInt8: {
        const auto v = static_cast<quint8>(std::lround(128.0 + value * 127.0));
        *out++ = static_cast<char>(v);
        break;
    }
    case QAudioFormat::Int16: {
        const auto v = static_cast<qint16>(std::lround(value * 32767.0));
        std::memcpy(out, &v, sizeof v);
        out += sizeof v;
        break;
    }
    case QAudioFormat::Int32: {
        const auto v = static_cast<qint32>(std::llround(value * 2147483647.0));
        std::memcpy(out, &v, sizeof v);
        out += sizeof v;
        break;
    }
    case QAudioFormat::Float: {
        const auto v = static_cast<float>(value);
        std::memcpy(out, &v, sizeof v);
        out += sizeof v;
        break;
    }
    default:
        break;
    }
}
} // namespace

QByteArray RenderTones(const QList<TTone>& tones, const QAudioFormat& format) {
    const QAudioFormat::SampleFormat sampleFormat = format.sampleFormat();
    if (sampleFormat == QAudioFormat::Unknown || format.sampleRate() <= 0 || format.channelCount() <= 0)
        return {};
    const int rate = format.sampleRate();
    const int channels = format.channelCount();
    const int bytesPerSample = format.bytesPerSample();

    qint64 totalFrames = 0;
    for (const TTone& tone : tones)
        totalFrames += qint64(rate) * std::max(tone.durationMs, 0) / 1000;
    QByteArray data(totalFrames * channels * bytesPerSample, Qt::Uninitialized);
    char* out = data.data();

    const qint64 fadeFrames = std::max<qint64>(1, qint64(rate) * FadeMs / 1000);
    for (const TTone& tone : tones) {
        const qint64 frames = qint64(rate) * std::max(tone.durationMs, 0) / 1000;
        const qint64 fade = std::min(fadeFrames, frames / 2);
        const double step = 2.0 * std::numbers::pi * std::max(tone.frequencyHz, 0) / rate;
        for (qint64 i = 0; i < frames; ++i) {
            double gain = Amplitude;
            if (fade > 0 && i < fade)
                gain *= double(i) / fade;
            else if (fade > 0 && i >= frames - fade)
                gain *= double(frames - 1 - i) / fade;
            const double value = tone.frequencyHz > 0 ? gain * std::sin(step * double(i)) : 0.0;
            for (int c = 0; c < channels; ++c)
                WriteSample(out, sampleFormat, value);
        }
    }
    return data;
}

TQtSound::TQtSound(QObject* parent) : QObject(parent) {}

TQtSound::~TQtSound() {
    if (FSink) {
        FSink->disconnect(this);
        FSink->stop();
    }
}

QAudioFormat TQtSound::preferredToneFormat() {
    QAudioFormat format;
    format.setSampleRate(22050);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

void TQtSound::playTones(const QList<TTone>& tones) {
    if (FSink || tones.isEmpty())
        return; // an earlier signal still sounds
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        qCDebug(lcSound) << "no audio output; tones stay silent";
        return;
    }
    QAudioFormat format = preferredToneFormat();
    if (!device.isFormatSupported(format))
        format = device.preferredFormat();
    const QByteArray samples = RenderTones(tones, format);
    if (samples.isEmpty())
        return;

    FBuffer = new QBuffer(this);
    FBuffer->setData(samples);
    FBuffer->open(QIODevice::ReadOnly);
    FSink = new QAudioSink(device, format, this);
    connect(FSink, &QAudioSink::stateChanged, this, &TQtSound::onSinkStateChanged);

    // Should the device never report the end, the signal still ends.
    const qint64 lengthMs = format.durationForBytes(samples.size()) / 1000;
    FGuard = new QTimer(this);
    FGuard->setSingleShot(true);
    connect(FGuard, &QTimer::timeout, this, &TQtSound::stopTones);
    FGuard->start(int(lengthMs) + GuardSlackMs);

    FSink->start(FBuffer);
    if (FSink && FSink->error() != QAudio::NoError) {
        qCDebug(lcSound) << "audio sink failed to start:" << FSink->error();
        stopTones();
    }
}

void TQtSound::onSinkStateChanged() {
    if (!FSink)
        return;
    switch (FSink->state()) {
    case QAudio::IdleState:
        // All data played (or the device ran dry on an error).
        stopTones();
        break;
    case QAudio::StoppedState:
        finishTones();
        break;
    default:
        if (FSink->error() != QAudio::NoError)
            stopTones();
        break;
    }
}

void TQtSound::stopTones() {
    if (!FSink)
        return;
    if (FSink->state() != QAudio::StoppedState)
        FSink->stop(); // reports StoppedState, which finishes
    finishTones();
}

void TQtSound::finishTones() {
    if (!FSink)
        return;
    QAudioSink* sink = std::exchange(FSink, nullptr);
    sink->disconnect(this);
    sink->deleteLater();
    if (FBuffer)
        std::exchange(FBuffer, nullptr)->deleteLater();
    if (FGuard)
        std::exchange(FGuard, nullptr)->deleteLater();
}

void TQtSound::playFile(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    if (QMediaDevices::defaultAudioOutput().isNull())
        return;
    // Like an asynchronous PlaySound: a new sound replaces the one playing.
    if (FEffect) {
        FEffect->stop();
        FEffect->deleteLater();
    }
    auto* effect = new QSoundEffect(this);
    FEffect = effect;
    connect(effect, &QSoundEffect::statusChanged, this, [effect] {
        if (effect->status() == QSoundEffect::Error) {
            qCDebug(lcSound) << "sound file could not be played:" << effect->source();
            effect->deleteLater();
        }
    });
    connect(effect, &QSoundEffect::playingChanged, this, [effect] {
        if (!effect->isPlaying() && effect->status() == QSoundEffect::Ready)
            effect->deleteLater();
    });
    effect->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    effect->play();
}
