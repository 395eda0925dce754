#include "common/Fakes.h"

#include <stdexcept>

void TFakeMessageBoxes::show(const QString& text, Icon icon, const QString& caption) {
    boxes.append({caption, text, icon, false});
    if (whileOpen)
        whileOpen();
}

bool TFakeMessageBoxes::ask(const QString& caption, const QString& text, Icon icon) {
    boxes.append({caption, text, icon, true});
    if (whileOpen)
        whileOpen();
    return answers.isEmpty() ? false : answers.dequeue();
}

QStringList TFakeMessageBoxes::texts() const {
    QStringList out;
    for (const Box& b : boxes)
        out << b.text;
    return out;
}

std::int32_t TFakeFirewall::probeException() {
    ++probes;
    if (!probeMessage.isEmpty())
        reportMessage(probeMessage);
    if (throwOnProbe)
        throw std::runtime_error("probe");
    return probeResult;
}

std::int32_t TFakeFirewall::addException() {
    ++adds;
    if (throwOnAdd)
        throw std::runtime_error("add");
    return addResult;
}

bool TFakeGlobalHotKey::registerHotKey(quint16 id, quint16 modifiers, quint8 virtualKey) {
    ++registerCalls;
    if (failRegister || virtualKey == 0 || taken.contains(qMakePair(modifiers, virtualKey)))
        return false;
    for (const Registration& r : std::as_const(registered)) {
        if (r.id == id || (r.modifiers == modifiers && r.virtualKey == virtualKey))
            return false;
    }
    registered.append({id, modifiers, virtualKey});
    return true;
}

bool TFakeGlobalHotKey::unregisterHotKey(quint16 id) {
    ++unregisterCalls;
    if (failUnregister)
        return false;
    for (qsizetype i = 0; i < registered.size(); ++i) {
        if (registered[i].id == id) {
            registered.removeAt(i);
            return true;
        }
    }
    return false;
}

void TFakeGlobalHotKey::press(quint16 modifiers, quint8 virtualKey) {
    for (const Registration& r : std::as_const(registered)) {
        if (r.modifiers == modifiers && r.virtualKey == virtualKey) {
            Q_EMIT hotKeyPressed(r.id);
            return;
        }
    }
}
