#include "Pictures.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

// Q_INIT_RESOURCE must be used outside any namespace.
static void initPalaveroResources() { Q_INIT_RESOURCE(palavero); }

namespace Pictures {
namespace {

QPixmap render(const QString& path, QSize size, qreal ratio) {
    init();
    QSvgRenderer renderer(path);
    if (!renderer.isValid())
        return {};
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    image.setDevicePixelRatio(ratio);
    return QPixmap::fromImage(image);
}

QIcon icon(const QString& path, std::initializer_list<int> sizes) {
    QIcon result;
    for (int size : sizes)
        result.addPixmap(render(path, QSize(size, size), 1.0));
    return result;
}

} // namespace

void init() { initPalaveroResources(); }

QIcon appIcon() {
    return icon(QStringLiteral(":/palavero/icon.svg"), {16, 22, 24, 32, 48, 64, 128, 256});
}

QIcon sendIcon() { return icon(QStringLiteral(":/palavero/send.svg"), {16, 24, 32}); }

QIcon sendAllIcon() { return icon(QStringLiteral(":/palavero/sendall.svg"), {16, 24, 32}); }

QPixmap logo(int size, qreal devicePixelRatio) {
    return render(QStringLiteral(":/palavero/logo.svg"), QSize(size, size), devicePixelRatio);
}

QString styleSheet() {
    init();
    QFile file(QStringLiteral(":/palavero/korvel2014-light.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace Pictures
