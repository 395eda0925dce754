#include "net/TargetList.h"

#include "core/Ansi.h"
#include "net/NetLog.h"

#include <algorithm>
#include <iterator>

namespace {

// Up to this many removed runs and added entries are applied row by row; more
// are applied in one pass as a reset of the model.
constexpr qsizetype kRowByRowChanges = 16;

} // namespace

TTargetList::TTargetList(const QByteArray& ownName, QObject* parent)
    : QAbstractListModel(parent), FOwnName(ownName) {}

TTargetList::~TTargetList() {
    FEntries.forEach([](Entry* entry) { delete entry; });
}

int TTargetList::compare(const Key& a, const Key& b) const {
    const int byOrder = FOrder.compare(a, b);
    return byOrder != 0 ? byOrder : a.text().compare(b.text(), Qt::CaseInsensitive);
}

TTargetList::Key TTargetList::sortKey(const QByteArray& text) const {
    return FOrder.key(Ansi::toUnicode(text));
}

TTargetList::Place TTargetList::locate(const QByteArray& text, const Key& key) const {
    // Entries that are equal ignoring case sit next to each other: find their
    // run by the sort key, then compare exactly within it.
    size_t row = firstWithKey(key);
    for (; row < FEntries.size() && compare(FEntries[row]->key, key) == 0; ++row) {
        if (FEntries[row]->text == text)
            return {int(row), -1};
    }
    // Not listed: a new entry goes after the run, as a sorted combo box inserts.
    return {-1, int(row)};
}

size_t TTargetList::firstWithKey(const Key& key) const {
    return FEntries.lowerBound(key, [this](const Entry* e, const Key& k) { return compare(e->key, k) < 0; });
}

int TTargetList::exactRow(const QByteArray& text) const {
    if (!FTexts.contains(text))
        return -1;
    return locate(text, sortKey(text)).row;
}

TTargetList::Entry* TTargetList::makeEntry(const QByteArray& text, const QByteArray& address) const {
    auto* entry = new Entry{text, sortKey(text), {}};
    entry->record.FIPAddress = address;
    return entry;
}

bool TTargetList::AddRemoteComputer(const QByteArray& name, const QByteArray& address) {
    if (name == FOwnName)
        return false;
    // One look-up: a listed name leaves the set as it was.
    if (!FTexts.insert(name))
        return false;
    Entry* entry = makeEntry(name, address);
    const Place place = locate(name, entry->key);
    beginInsertRows(QModelIndex(), place.insertAt, place.insertAt);
    FEntries.insert(size_t(place.insertAt), entry);
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
    Entry* entry = FEntries[size_t(row)];
    FTexts.remove(entry->text);
    FEntries.erase(size_t(row));
    delete entry;
    endRemoveRows();
}

void TTargetList::replaceEntries(const std::function<bool(const QByteArray&)>& inScope,
                                 const QList<QByteArray>& texts) {
    const TByteSet wanted(texts.cbegin(), texts.cend());
    // Stale rows as runs of neighbours [first, last].
    QList<std::pair<int, int>> staleRuns;
    for (int row = 0; row < count(); ++row) {
        const QByteArray& text = FEntries[size_t(row)]->text;
        if (!inScope(text) || wanted.contains(text))
            continue;
        if (!staleRuns.isEmpty() && staleRuns.last().second == row - 1)
            staleRuns.last().second = row;
        else
            staleRuns.append({row, row});
    }
    QList<QByteArray> missing;
    TByteSet seen;
    for (const QByteArray& text : texts) {
        if (text != FOwnName && !FTexts.contains(text) && seen.insert(text)) {
            missing.append(text);
        }
    }
    if (staleRuns.size() + missing.size() <= kRowByRowChanges) {
        for (auto run = staleRuns.crbegin(); run != staleRuns.crend(); ++run) {
            beginRemoveRows(QModelIndex(), run->first, run->second);
            for (int row = run->first; row <= run->second; ++row) {
                FTexts.remove(FEntries[size_t(row)]->text);
                delete FEntries[size_t(row)];
            }
            FEntries.erase(size_t(run->first), size_t(run->second) + 1);
            endRemoveRows();
        }
        for (const QByteArray& text : missing)
            AddRemoteComputer(text, QByteArray());
        return;
    }
    beginResetModel();
    std::vector<Entry*> kept;
    kept.reserve(FEntries.size());
    FEntries.forEach([&](Entry* entry) {
        if (!inScope(entry->text) || wanted.contains(entry->text)) {
            kept.push_back(entry);
        } else {
            FTexts.remove(entry->text);
            delete entry;
        }
    });
    std::vector<Entry*> added;
    added.reserve(size_t(missing.size()));
    for (const QByteArray& text : missing) {
        added.push_back(makeEntry(text, QByteArray()));
        FTexts.insert(text);
    }
    mergeEntries(std::move(kept), std::move(added));
    endResetModel();
}

void TTargetList::mergeEntries(std::vector<Entry*> kept, std::vector<Entry*> added) {
    // New entries go after listed ones with the same sort key, and among
    // themselves in the order given: the order of adding them one by one.
    const auto byKey = [this](const Entry* a, const Entry* b) { return compare(a->key, b->key) < 0; };
    std::stable_sort(added.begin(), added.end(), byKey);
    std::vector<Entry*> merged;
    merged.reserve(kept.size() + added.size());
    std::merge(kept.begin(), kept.end(), added.begin(), added.end(), std::back_inserter(merged), byKey);
    FEntries.clear();
    for (Entry* entry : merged)
        FEntries.push_back(entry);
}

int TTargetList::indexOf(const QByteArray& text, Qt::CaseSensitivity cs) const {
    if (cs == Qt::CaseSensitive)
        return exactRow(text);
    // The first entry of the run that is equal ignoring case.
    const Key key = sortKey(text);
    const size_t row = firstWithKey(key);
    return row < FEntries.size() && compare(FEntries[row]->key, key) == 0 ? int(row) : -1;
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
    FEntries.forEach([&out](const Entry* e) { out << e->text; });
    return out;
}

int TTargetList::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : count();
}

QVariant TTargetList::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return FEntries[size_t(index.row())]->key.text();
    return {};
}
