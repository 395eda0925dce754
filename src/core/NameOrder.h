#pragma once

#include <QByteArray>
#include <QCollator>
#include <QString>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

// The order in which names are listed: as a German reader sorts, ignoring
// letter case ("Ärger" between "Anton" and "Buero").
//
// The collation's sort key costs more than handling a whole datagram. Names of
// printable ASCII characters, which most computer names are, are compared by
// the collation's rank of each character instead: the collation orders such
// names character by character, so comparing the ranks gives its order. The
// ranks are worked out from the collation itself when the first key is made;
// a collation that does not order them so (one that skips punctuation) is
// found out then, and every name uses the sort key. Other names, and ASCII
// names when they meet one, use the sort key.
class TNameOrder {
public:
    class Key {
    public:
        const QString& text() const { return FText; }

    private:
        friend class TNameOrder;
        QString FText;
        QByteArray FRanks; // one per character, for printable ASCII text
        bool FRanked = false;
        mutable std::optional<QCollatorSortKey> FSortKey; // made when first needed
    };

    TNameOrder();

    Key key(const QString& text) const;
    // Negative, zero or positive as a sorts before, with or after b.
    int compare(const Key& a, const Key& b) const {
        if (!a.FRanked || !b.FRanked)
            return compareSortKeys(a, b);
        const qsizetype m = a.FRanks.size();
        const qsizetype n = b.FRanks.size();
        const int byRanks = std::memcmp(a.FRanks.constData(), b.FRanks.constData(), size_t(std::min(m, n)));
        return byRanks != 0 ? byRanks : int(m > n) - int(m < n);
    }

    static constexpr char16_t kFirstRanked = 0x20;
    static constexpr char16_t kLastRanked = 0x7E;
    using Ranks = std::array<char, kLastRanked - kFirstRanked + 1>;
    // The collation's rank of each printable ASCII character, from 1 up; none
    // when the collation does not order names of them character by character.
    static std::optional<Ranks> rankCharacters(const QCollator& collator);

private:
    int compareSortKeys(const Key& a, const Key& b) const;
    const QCollatorSortKey& sortKey(const Key& key) const;

    QCollator FCollator;
};
