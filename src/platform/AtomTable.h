#pragma once

#include <QByteArray>
#include <QMap>

// A table of named atoms with use counts, as the string atoms of Windows: the
// first add of a name gives it an identifier from 0xC000 up, every further add
// counts one more use, and the name goes when its last use is deleted.
class TAtomTable {
public:
    quint16 add(const QByteArray& name) {
        if (name.isEmpty())
            return 0;
        for (auto it = FAtoms.begin(); it != FAtoms.end(); ++it) {
            if (it->name == name) {
                ++it->uses;
                return it.key();
            }
        }
        quint16 atom = kFirst;
        while (FAtoms.contains(atom)) {
            if (atom == kLast)
                return 0;
            ++atom;
        }
        FAtoms.insert(atom, {name, 1});
        return atom;
    }

    void remove(quint16 atom) {
        auto it = FAtoms.find(atom);
        if (it != FAtoms.end() && --it->uses == 0)
            FAtoms.erase(it);
    }

    bool contains(quint16 atom) const { return FAtoms.contains(atom); }

private:
    static constexpr quint16 kFirst = 0xC000;
    static constexpr quint16 kLast = 0xFFFF;
    struct TEntry {
        QByteArray name;
        int uses = 0;
    };
    QMap<quint16, TEntry> FAtoms;
};
