#include "core/NameOrder.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

namespace {

QString text(char16_t c) {
    return QString(QChar(c));
}

QString between(char16_t c) {
    return QStringLiteral("a") + QChar(c) + u'b';
}

// Both rank tables, worked out once, when the first key is made: the
// collation loads its tables on first use, which the program's start need
// not wait for. None when either collation does not order by ranks.
struct TRankTables {
    TNameOrder::Ranks skipping{};
    TNameOrder::Ranks full{};
};

} // namespace

TNameOrder::TNameOrder() : FCollator(germanCollator(true)), FFullCollator(germanCollator(false)) {}

QCollator TNameOrder::germanCollator(bool skipPunctuation) {
    QCollator collator(QLocale(QLocale::German, QLocale::Germany));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setIgnorePunctuation(skipPunctuation);
    return collator;
}

std::optional<TNameOrder::Ranks> TNameOrder::rankCharacters(const QCollator& collator) {
    // A character the collation skips inside a name ("a-b" as "ab") has no rank.
    const auto skipped = [&](char16_t c) { return collator.compare(between(c), QStringLiteral("ab")) == 0; };
    std::array<char16_t, kLastRanked - kFirstRanked + 1> all{};
    std::iota(all.begin(), all.end(), kFirstRanked);
    std::vector<char16_t> chars;
    std::copy_if(all.cbegin(), all.cend(), std::back_inserter(chars), [&](char16_t c) { return !skipped(c); });
    std::stable_sort(chars.begin(), chars.end(),
                     [&](char16_t a, char16_t b) { return collator.compare(text(a), text(b)) < 0; });
    // Characters the collation holds equal ("a" and "A") share a rank; ranks
    // start at 1, so every rank is a byte above zero.
    Ranks ranks{};
    int rank = 0;
    for (size_t i = 0; i < chars.size(); ++i) {
        if (i == 0 || collator.compare(text(chars[i - 1]), text(chars[i])) != 0)
            ++rank;
        ranks[chars[i] - kFirstRanked] = char(rank);
    }
    // Each character inside a name must weigh as it does alone.
    const int rankOfB = ranks['b' - kFirstRanked];
    for (const char16_t c : chars) {
        // By the ranks "a" c "b" sorts before "ab" when c sorts before "b",
        // and after it otherwise (when c is "b", as the longer name).
        const bool before = ranks[c - kFirstRanked] < rankOfB;
        const int byCollation = collator.compare(between(c), QStringLiteral("ab"));
        if (byCollation == 0 || (byCollation < 0) != before)
            return std::nullopt;
    }
    return ranks;
}

TNameOrder::Key TNameOrder::key(const QString& name) const {
    Key key;
    key.FText = name;
    const bool ranked = std::all_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.unicode() >= kFirstRanked && c.unicode() <= kLastRanked;
    });
    static const std::optional<TRankTables> tables = [this]() -> std::optional<TRankTables> {
        const std::optional<Ranks> skipping = rankCharacters(FCollator);
        const std::optional<Ranks> full = rankCharacters(FFullCollator);
        // The full table must rank every character.
        if (!skipping || !full || std::find(full->cbegin(), full->cend(), 0) != full->cend())
            return std::nullopt;
        return TRankTables{*skipping, *full};
    }();
    if (!ranked || !tables)
        return key;
    key.FRanks.reserve(2 * name.size() + 1);
    for (const QChar c : name) {
        if (const char r = tables->skipping[c.unicode() - kFirstRanked])
            key.FRanks.append(r);
    }
    key.FRanks.append('\0');
    for (const QChar c : name)
        key.FRanks.append(tables->full[c.unicode() - kFirstRanked]);
    key.FRanked = true;
    return key;
}

int TNameOrder::compareSortKeys(const Key& a, const Key& b) const {
    const auto sortKey = [](const QCollator& collator, std::optional<QCollatorSortKey>& slot,
                            const QString& name) -> const QCollatorSortKey& {
        if (!slot)
            slot.emplace(collator.sortKey(name));
        return *slot;
    };
    const int first = sortKey(FCollator, a.FSortKey, a.FText).compare(sortKey(FCollator, b.FSortKey, b.FText));
    if (first != 0)
        return first;
    return sortKey(FFullCollator, a.FFullSortKey, a.FText).compare(sortKey(FFullCollator, b.FFullSortKey, b.FText));
}
