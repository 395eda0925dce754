#include "Pictures.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QPixmap>

// The pictures are PNGs rendered from the SVGs in packaging/ at build time
// (":/palavero/<name>-<size>.png"); no SVG renderer is needed at run time.

namespace Pictures {
namespace {

QString path(const char* name, int size) {
    return QStringLiteral(":/palavero/%1-%2.png").arg(QLatin1String(name)).arg(size);
}

// Read as PNG and nothing else: an image reader that may guess the format
// loads every image-format plugin (SVG included) to ask it.
QImage readPng(const QString& file) {
    QImageReader reader(file, "PNG");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QIcon icon(const char* name, std::initializer_list<int> sizes) {
    QIcon result;
    for (int size : sizes) {
        const QImage image = readPng(path(name, size));
        if (!image.isNull())
            result.addPixmap(QPixmap::fromImage(image));
    }
    return result;
}

} // namespace

void init() {
    // The resources are linked in and registered at start-up.
}

QIcon appIcon() {
    // The tray's sizes; the desktop's own icons are installed separately.
    return icon("icon", {16, 22, 24, 32, 48, 64});
}

QIcon sendIcon() { return icon("send", {16, 24, 32}); }

QIcon sendAllIcon() { return icon("sendall", {16, 24, 32}); }

QPixmap logo(int size, qreal devicePixelRatio) {
    const int pixels = qRound(size * devicePixelRatio);
    QImage image = readPng(path("logo", pixels > 100 ? 200 : 100));
    if (image.isNull())
        return {};
    if (image.width() != pixels)
        image = image.scaled(pixels, pixels, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(devicePixelRatio);
    return QPixmap::fromImage(image);
}

QString styleSheet() {
    QFile file(QStringLiteral(":/palavero/korvel2014-light.qss"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

} // namespace Pictures
