#pragma once

// Fakes of the platform services, for tests.

#include "platform/AtomTable.h"
#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/Firewall.h"
#include "platform/GlobalHotKey.h"
#include "platform/MessageBoxes.h"
#include "platform/NetworkChanges.h"
#include "platform/NetworkInfo.h"
#include "platform/ScreenSaver.h"
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
    mutable int looks = 0;
    QList<TInterfaceAddress> localIPv4() const override {
        ++looks;
        return addresses;
    }
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
    // Reported by the probe before it returns (empty: nothing).
    QString probeMessage;
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
    QString unavailable; // said on the first tones when set, as by a missing audio output
    void playTones(const QList<TTone>& tones) override {
        toneCalls << tones;
        if (toneCalls.size() == 1 && !unavailable.isEmpty())
            reportUnavailable(unavailable);
    }
    void playFile(const QString& path) override { files << path; }
    bool isPlaying() const override { return playing; }
};

// Global hot keys without a keyboard: registrations are kept in a list, and
// press() plays the user pressing a combination. A combination in `taken` is
// held by another program; failRegister / failUnregister make every call fail.
class TFakeGlobalHotKey : public TGlobalHotKey {
    Q_OBJECT
public:
    struct Registration {
        quint16 id = 0;
        quint16 modifiers = 0;
        quint8 virtualKey = 0;
        bool operator==(const Registration&) const = default;
    };
    QList<Registration> registered; // in force, in order of registration
    int registerCalls = 0;
    int unregisterCalls = 0;
    QList<QPair<quint16, quint8>> taken; // (modifiers, virtual key) held elsewhere
    bool failRegister = false;
    bool failUnregister = false;
    TAtomTable atoms;

    quint16 addAtom(const QByteArray& name) override { return atoms.add(name); }
    void deleteAtom(quint16 atom) override { atoms.remove(atom); }
    bool registerHotKey(quint16 id, quint16 modifiers, quint8 virtualKey) override;
    bool unregisterHotKey(quint16 id) override;
    // The user presses `modifiers` + `virtualKey`: a registered hot key reports.
    void press(quint16 modifiers, quint8 virtualKey);
};

class TFakeScreenSaver : public IScreenSaver {
public:
    int activations = 0;
    void activate() override { ++activations; }
};

// Reports of network changes that the test makes with report(); a system that
// reports nothing when unavailable.
class TFakeNetworkChanges : public TNetworkChanges {
    Q_OBJECT
public:
    using TNetworkChanges::TNetworkChanges;
    bool available = true;
    bool listening = false;
    bool start() override {
        listening = available;
        return available;
    }
    void stop() override { listening = false; }
    void report() {
        if (listening)
            Q_EMIT changed();
    }
};
