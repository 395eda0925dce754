#pragma once

// Fakes of the platform services, for tests.

#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/Firewall.h"
#include "platform/MessageBoxes.h"
#include "platform/NetworkInfo.h"
#include "platform/SessionMonitor.h"
#include "platform/Sound.h"
#include "platform/SystemInfo.h"

#include <QMap>
#include <QQueue>
#include <QStringList>

#include <functional>

class TFakeMessageBoxes : public IMessageBoxes {
public:
    struct Box {
        QString caption;
        QString text;
        Icon icon;
        bool question;
    };
    QList<Box> boxes;        // every box shown, in order
    QQueue<bool> answers;    // answers for ask(); No when empty
    std::function<void()> whileOpen; // runs inside each box, as a modal loop would

    void show(const QString& text, Icon icon, const QString& caption) override;
    bool ask(const QString& caption, const QString& text, Icon icon) override;
    QStringList texts() const;
};

class TFakeSystemInfo : public ISystemInfo {
public:
    QString computer = QStringLiteral("PC-TEST");
    QString user = QStringLiteral("tester");
    QLocale locale = QLocale(QLocale::German, QLocale::Germany);
    QString root;
    QString executable = QStringLiteral("/opt/palavero/palavero");

    QString computerName() const override { return computer; }
    QString userName() const override { return user; }
    QLocale systemLocale() const override { return locale; }
    QString dataRoot() const override { return root; }
    QString executablePath() const override { return executable; }
};

class TFakeNetworkInfo : public INetworkInfo {
public:
    QList<TInterfaceAddress> addresses;
    QList<TInterfaceAddress> localIPv4() const override { return addresses; }
};

class TFakeSessionMonitor : public TSessionMonitor {
    Q_OBJECT
public:
    using TSessionMonitor::TSessionMonitor;
    bool isAvailable() const override { return true; }
};

class TFakeFirewall : public IFirewall {
public:
    std::int32_t probeResult = kFail;
    std::int32_t addResult = kFail;
    bool throwOnProbe = false;
    bool throwOnAdd = false;
    int probes = 0;
    int adds = 0;
    std::int32_t probeException() override;
    std::int32_t addException() override;
};

class TFakeDesktop : public IDesktop {
public:
    QStringList opened;
    bool openUrl(const QString& url) override {
        opened << url;
        return true;
    }
    bool openFile(const QString& path) override {
        opened << path;
        return true;
    }
};

class TFakeAutostart : public IAutostart {
public:
    QMap<QString, QString> entries;
    bool failWrites = false;
    QString read(const QString& title) const override { return entries.value(title); }
    bool write(const QString& title, const QString& command) override {
        if (failWrites)
            return false;
        entries[title] = command;
        return true;
    }
};

class TFakeSound : public ISound {
public:
    QList<QList<TTone>> toneCalls;
    QStringList files;
    bool playing = false;
    void playTones(const QList<TTone>& tones) override { toneCalls << tones; }
    void playFile(const QString& path) override { files << path; }
    bool isPlaying() const override { return playing; }
};
