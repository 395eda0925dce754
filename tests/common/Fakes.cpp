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
