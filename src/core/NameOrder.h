#pragma once

#include <QByteArray>
#include <QCollator>
#include <QString>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

// The order in which names are listed: as a German reader sorts, ignoring
// letter case ("Ärger" between "Anton" and "Buero") and, at first,
// punctuation: "PC-04" sorts among "PC03" and "PC05". Names that differ only
// in punctuation are then ordered with it ("PC-2" before "PC2").
//
// The collation's sort key costs more than handling a whole datagram. Names of
// printable ASCII characters, which most computer names are, are compared by
// the collation's rank of each character instead: the collation orders such
// names character by character, once without the characters it skips and then
// with all of them, so comparing the ranks gives its order. The ranks are
// worked out from the collation itself when the first key is made; a collation
// that does not order them so is found out then, and every name uses the sort
// keys. Other names, and ASCII names when they meet one, use the sort keys.
class TNameOrder {
public:
    class Key {
    public:
        const QString& text() const { return FText; }

    private:
        friend class TNameOrder;
        QString FText;
        // For printable ASCII text: the ranks of the characters that are not
        // skipped, a zero byte, and then the rank of every character.
        QByteArray FRanks;
        bool FRanked = false;
        // Made when first needed: without the skipped characters, and with them.
        mutable std::optional<QCollatorSortKey> FSortKey;
        mutable std::optional<QCollatorSortKey> FFullSortKey;
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
    // The collation's rank of each printable ASCII character, from 1 up, and 0
    // for a character it skips; none when the collation does not order names
    // of them character by character.
    using Ranks = std::array<char, kLastRanked - kFirstRanked + 1>;
    static std::optional<Ranks> rankCharacters(const QCollator& collator);
    // The German collations the order uses: ignoring case, and skipping
    // punctuation at first or not.
    static QCollator germanCollator(bool skipPunctuation);

private:
    int compareSortKeys(const Key& a, const Key& b) const;

    QCollator FCollator;     // skips punctuation
    QCollator FFullCollator; // weighs every character
};
