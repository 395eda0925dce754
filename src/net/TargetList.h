#pragma once

#include "core/BlockSequence.h"
#include "core/ByteSet.h"
#include "core/NameOrder.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

// The record attached to an entry of the target list: the peer's dotted IPv4
// address as it was when the entry was added (empty for a group entry).
class TPalaveroRemoteData {
public:
    virtual ~TPalaveroRemoteData() = default;
    QByteArray FIPAddress;
};

// The targets of the recipient box: computers that announced themselves and
// group entries ("<name>"). Texts are Windows-1252 and compared exactly; the
// display order is alphabetical as a German reader expects ("Ärger" between
// "Anton" and "Buero"), ignoring letter case. The own computer is never
// listed; an entry keeps the address it was added with and never expires.
class TTargetList : public QAbstractListModel {
    Q_OBJECT
public:
    explicit TTargetList(const QByteArray& ownName, QObject* parent = nullptr);
    ~TTargetList() override;

    // Adds an entry unless the name is the own computer's or already listed;
    // returns whether it was added.
    bool AddRemoteComputer(const QByteArray& name, const QByteArray& address);
    // Removes the entry with exactly this text; returns whether there was one.
    bool RemoveRemoteComputer(const QByteArray& name);
    // Removes the entry at the row (for example a stale group entry).
    void removeAt(int row);
    // Makes the entries for which `inScope` holds exactly `texts` (for example
    // the group entries and the groups of the file): entries in scope that are
    // not among the texts are removed, texts that are not listed are added in
    // their order with an empty address, as AddRemoteComputer adds them;
    // entries out of scope stay. Linear in the size of the list: a few changes
    // are made row by row, many at once as a reset of the model.
    void replaceEntries(const std::function<bool(const QByteArray&)>& inScope, const QList<QByteArray>& texts);

    // The first entry, in display order, whose text equals the given text
    // under the given case rule; null if there is none.
    const TPalaveroRemoteData* find(const QByteArray& text, Qt::CaseSensitivity cs) const;
    int indexOf(const QByteArray& text, Qt::CaseSensitivity cs) const;

    int count() const { return int(FEntries.size()); }
    QByteArray textAt(int row) const;
    const TPalaveroRemoteData* dataAt(int row) const;
    QList<QByteArray> texts() const;
    QByteArray ownName() const { return FOwnName; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    // Where an entry sorts; its text is the Unicode form, shown.
    using Key = TNameOrder::Key;
    struct Entry {
        QByteArray text;
        Key key; // computed once, when the entry is made
        TPalaveroRemoteData record; // owned by the entry, gone with it
    };
    struct Place {
        int row;      // the entry with exactly this text, or -1
        int insertAt; // where a new entry with this text goes (when row is -1)
    };
    Key sortKey(const QByteArray& text) const;
    // By the German collation ignoring case, then by the text ignoring case, so
    // that entries equal ignoring case sit next to each other.
    int compare(const Key& a, const Key& b) const;
    Place locate(const QByteArray& text, const Key& key) const;
    size_t firstWithKey(const Key& key) const;
    int exactRow(const QByteArray& text) const;
    Entry* makeEntry(const QByteArray& text, const QByteArray& address) const;
    // FEntries := the sorted merge of `kept` (sorted) and `added` (any order).
    void mergeEntries(std::vector<Entry*> kept, std::vector<Entry*> added);

    QByteArray FOwnName;
    TNameOrder FOrder;
    // Sorted by key; inserting costs the same at any length. The entries are
    // owned here and deleted when they leave: plain pointers move in one copy
    // when an entry is inserted before them.
    TBlockSequence<Entry*> FEntries;
    TByteSet FTexts;                              // every entry's text, for the exact test
};
