#include "core/TextUtil.h"

namespace {

bool isBlank(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

} // namespace

namespace TextUtil {

QByteArray trim(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && static_cast<unsigned char>(text.at(begin)) <= 32)
        ++begin;
    while (end > begin && static_cast<unsigned char>(text.at(end - 1)) <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString trim(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QList<QByteArray> splitDelimited(const QByteArray& input) {
    QList<QByteArray> items;
    const qsizetype nul = input.indexOf('\0');
    const QByteArray text = nul >= 0 ? input.left(nul) : input;
    const qsizetype n = text.size();
    qsizetype p = 0;
    auto at = [&](qsizetype i) { return i < n ? text.at(i) : '\0'; };

    while (isBlank(at(p)))
        ++p;
    while (p < n) {
        QByteArray item;
        if (at(p) == '"') {
            ++p;
            while (p < n) {
                if (at(p) == '"') {
                    if (at(p + 1) == '"') {
                        item.append('"');
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item.append(at(p));
                ++p;
            }
        } else {
            const qsizetype start = p;
            while (p < n && static_cast<unsigned char>(at(p)) > 32 && at(p) != ',')
                ++p;
            item = text.mid(start, p - start);
        }
        items.append(item);
        while (isBlank(at(p)))
            ++p;
        if (at(p) == ',') {
            if (p + 1 >= n)
                items.append(QByteArray());
            do {
                ++p;
            } while (isBlank(at(p)));
        }
    }
    return items;
}

} // namespace TextUtil
