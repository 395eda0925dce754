#include "messages/LinkFinder.h"

#include <QRegularExpression>

namespace LinkFinder {

namespace {

// A link starts where no word, path or address character stands before it, so
// "file://www.x" or "xhttp://" give no link.
const QRegularExpression& pattern() {
    static const QRegularExpression re(
        QStringLiteral("(?<![\\w./:@\\\\-])(?:(?:https?|ftp)://|mailto:|www\\.)[^\\s<>\"]+"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return re;
}

qsizetype trimmedLength(QStringView word) {
    qsizetype n = word.size();
    while (n > 0) {
        const QChar c = word.at(n - 1);
        if (c == QLatin1Char(')')) {
            const QStringView head = word.left(n);
            if (head.count(QLatin1Char('(')) >= head.count(QLatin1Char(')')))
                break;
            --n;
            continue;
        }
        if (QStringView(u".,;:!?'\"]}").contains(c)) {
            --n;
            continue;
        }
        break;
    }
    return n;
}

qsizetype prefixLength(QStringView word) {
    for (QStringView p : {QStringView(u"https://"), QStringView(u"http://"), QStringView(u"ftp://"),
                          QStringView(u"mailto:"), QStringView(u"www.")}) {
        if (word.startsWith(p, Qt::CaseInsensitive))
            return p.size();
    }
    return 0;
}

} // namespace

QList<TLink> find(QStringView text) {
    QList<TLink> links;
    auto it = pattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QStringView word = text.mid(m.capturedStart(), m.capturedLength());
        const qsizetype n = trimmedLength(word);
        if (n > prefixLength(word))
            links.append(TLink{m.capturedStart(), n});
    }
    return links;
}

QString urlForOpening(const QString& linkText) {
    if (linkText.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QStringLiteral("http://") + linkText;
    return linkText;
}

} // namespace LinkFinder
