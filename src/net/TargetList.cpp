#include "net/TargetList.h"

#include "core/Ansi.h"
#include "net/NetLog.h"

#include <algorithm>

namespace {

// Folds each character as QString::compare(..., Qt::CaseInsensitive) does, so
// that comparing keys exactly orders like that comparison, only faster.
QString sortKey(const QString& display) {
    return display.toCaseFolded();
}

} // namespace

TTargetList::TTargetList(const QByteArray& ownName, QObject* parent)
    : QAbstractListModel(parent), FOwnName(ownName) {}

TTargetList::~TTargetList() = default;

TTargetList::Place TTargetList::locate(const QByteArray& text, const QString& key) const {
    // Entries that are equal ignoring case sit next to each other: find their
    // run by the sort key, then compare exactly within it.
    auto it = std::lower_bound(FEntries.begin(), FEntries.end(), key,
                               [](const std::unique_ptr<Entry>& e, const QString& k) { return e->key < k; });
    for (; it != FEntries.end() && (*it)->key == key; ++it) {
        if ((*it)->text == text)
            return {int(it - FEntries.begin()), -1};
    }
    // Not listed: a new entry goes after the run, as a sorted combo box inserts.
    return {-1, int(it - FEntries.begin())};
}

int TTargetList::exactRow(const QByteArray& text) const {
    if (!FTexts.contains(text))
        return -1;
    return locate(text, sortKey(Ansi::toUnicode(text))).row;
}

bool TTargetList::AddRemoteComputer(const QByteArray& name, const QByteArray& address) {
    if (name == FOwnName || FTexts.contains(name))
        return false;
    const QString display = Ansi::toUnicode(name);
    QString key = sortKey(display);
    const Place place = locate(name, key);
    if (place.row >= 0)
        return false;
    auto entry = std::make_unique<Entry>(Entry{name, display, std::move(key), {}});
    entry->record.FIPAddress = address;
    beginInsertRows(QModelIndex(), place.insertAt, place.insertAt);
    FEntries.insert(FEntries.begin() + place.insertAt, std::move(entry));
    FTexts.insert(name);
    endInsertRows();
    qCDebug(lcPalaveroNet).noquote() << "Remote IP: " + QString::fromLatin1(address);
    return true;
}

bool TTargetList::RemoveRemoteComputer(const QByteArray& name) {
    const int row = exactRow(name);
    if (row < 0)
        return false;
    removeAt(row);
    return true;
}

void TTargetList::removeAt(int row) {
    if (row < 0 || row >= count())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    FTexts.remove(FEntries[size_t(row)]->text);
    FEntries.erase(FEntries.begin() + row);
    endRemoveRows();
}

int TTargetList::indexOf(const QByteArray& text, Qt::CaseSensitivity cs) const {
    if (cs == Qt::CaseSensitive)
        return exactRow(text);
    const QString key = sortKey(Ansi::toUnicode(text));
    for (size_t i = 0; i < FEntries.size(); ++i) {
        if (FEntries[i]->key == key)
            return int(i);
    }
    return -1;
}

const TPalaveroRemoteData* TTargetList::find(const QByteArray& text, Qt::CaseSensitivity cs) const {
    return dataAt(indexOf(text, cs));
}

QByteArray TTargetList::textAt(int row) const {
    return row >= 0 && row < count() ? FEntries[size_t(row)]->text : QByteArray();
}

const TPalaveroRemoteData* TTargetList::dataAt(int row) const {
    return row >= 0 && row < count() ? &FEntries[size_t(row)]->record : nullptr;
}

QList<QByteArray> TTargetList::texts() const {
    QList<QByteArray> out;
    out.reserve(count());
    for (const auto& e : FEntries)
        out << e->text;
    return out;
}

int TTargetList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant TTargetList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return FEntries[size_t(index.row())]->display;
    return {};
}
