#include "core/NameOrder.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

TNameOrder::TNameOrder() : FCollator(QLocale(QLocale::German, QLocale::Germany)) {
    FCollator.setCaseSensitivity(Qt::CaseInsensitive);
}

std::optional<TNameOrder::Ranks> TNameOrder::rankCharacters(const QCollator& collator) {
    std::array<char16_t, kLastRanked - kFirstRanked + 1> chars{};
    std::iota(chars.begin(), chars.end(), kFirstRanked);
    const auto text = [](char16_t c) { return QString(QChar(c)); };
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
    // Each character inside a name must weigh as it does alone: a collation
    // that skips it there ("a-b" as "ab") orders by more than the ranks.
    const int rankOfB = ranks['b' - kFirstRanked];
    for (char16_t c = kFirstRanked; c <= kLastRanked; ++c) {
        // By the ranks "a" c "b" sorts before "ab" when c sorts before "b",
        // and after it otherwise (when c is "b", as the longer name).
        const bool before = ranks[c - kFirstRanked] < rankOfB;
        const int byCollation = collator.compare(QStringLiteral("a") + QChar(c) + u'b', QStringLiteral("ab"));
        if (byCollation == 0 || (byCollation < 0) != before)
            return std::nullopt;
    }
    return ranks;
}

TNameOrder::Key TNameOrder::key(const QString& text) const {
    Key key;
    key.FText = text;
    const bool ranked = std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.unicode() >= kFirstRanked && c.unicode() <= kLastRanked;
    });
    // Worked out once, when the first key is made: the collation loads its
    // tables on first use, which the program's start need not wait for.
    static const std::optional<Ranks> ranks = rankCharacters(FCollator);
    if (!ranked || !ranks)
        return key;
    key.FRanks = QByteArray(text.size(), Qt::Uninitialized);
    char* out = key.FRanks.data();
    for (const QChar c : text)
        *out++ = (*ranks)[c.unicode() - kFirstRanked];
    key.FRanked = true;
    return key;
}

const QCollatorSortKey& TNameOrder::sortKey(const Key& key) const {
    if (!key.FSortKey)
        key.FSortKey.emplace(FCollator.sortKey(key.FText));
    return *key.FSortKey;
}

int TNameOrder::compareSortKeys(const Key& a, const Key& b) const {
    return sortKey(a).compare(sortKey(b));
}
