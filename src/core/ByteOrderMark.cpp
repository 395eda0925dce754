#include "core/ByteOrderMark.h"

#include "core/Ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr QByteArrayView kUtf8Mark("\xEF\xBB\xBF");
constexpr QByteArrayView kUtf16LEMark("\xFF\xFE");
constexpr QByteArrayView kUtf16BEMark("\xFE\xFF");

QStringConverter::Encoding converterEncoding(ByteOrderMark::Encoding encoding) {
    switch (encoding) {
    case ByteOrderMark::Encoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case ByteOrderMark::Encoding::Utf16BE:
        return QStringConverter::Utf16BE;
    case ByteOrderMark::Encoding::Ansi:
    case ByteOrderMark::Encoding::Utf8:
        break;
    }
    return QStringConverter::Utf8;
}

QByteArrayView mark(ByteOrderMark::Encoding encoding) {
    switch (encoding) {
    case ByteOrderMark::Encoding::Utf8:
        return kUtf8Mark;
    case ByteOrderMark::Encoding::Utf16LE:
        return kUtf16LEMark;
    case ByteOrderMark::Encoding::Utf16BE:
        return kUtf16BEMark;
    case ByteOrderMark::Encoding::Ansi:
        break;
    }
    return {};
}

} // namespace

namespace ByteOrderMark {

Encoding detect(QByteArrayView bytes) {
    if (bytes.startsWith(kUtf8Mark))
        return Encoding::Utf8;
    if (bytes.startsWith(kUtf16LEMark))
        return Encoding::Utf16LE;
    if (bytes.startsWith(kUtf16BEMark))
        return Encoding::Utf16BE;
    return Encoding::Ansi;
}

QString decode(QByteArrayView bytes, Encoding* encoding) {
    const Encoding found = detect(bytes);
    if (encoding)
        *encoding = found;
    if (found == Encoding::Ansi)
        return Ansi::toUnicode(bytes.toByteArray());
    // A further mark right after the first one is text (U+FEFF), as it stands.
    QStringDecoder decoder(converterEncoding(found),
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes.sliced(mark(found).size()));
}

QByteArray encode(QStringView text, Encoding encoding) {
    if (encoding == Encoding::Ansi)
        return Ansi::fromUnicode(text.toString());
    QStringEncoder encoder(converterEncoding(encoding), QStringEncoder::Flag::Stateless);
    return mark(encoding).toByteArray() + QByteArray(encoder(text));
}

} // namespace ByteOrderMark
