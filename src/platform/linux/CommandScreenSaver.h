#pragma once

#include "platform/linux/ScreenSaverChain.h"

#include <QObject>
#include <QStringList>

// The screen saver started by a program of the system, such as
// "xscreensaver-command -activate": it worked when the program ends with exit
// code 0 within kTimeoutMs. A program that is not installed fails at once.
class TCommandScreenSaver : public QObject, public IScreenSaverWay {
    Q_OBJECT
public:
    TCommandScreenSaver(QString program, QStringList arguments, QObject* parent = nullptr);
    void start(std::function<void(bool started)> done) override;

    static constexpr int kTimeoutMs = 5000;

private:
    QString FProgram;
    QStringList FArguments;
};
