#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// Finds the web addresses in plain text: words that begin with "http://",
// "https://", "ftp://", "mailto:" or "www." (letter case ignored). No other
// scheme is a link. Closing punctuation at the end of a word is not part of it.
namespace LinkFinder {

struct TLink {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const TLink&, const TLink&) = default;
};

QList<TLink> find(QStringView text);

// The address to hand to the desktop for a link's text: "www." gets "http://" in front.
QString urlForOpening(const QString& linkText);

} // namespace LinkFinder
