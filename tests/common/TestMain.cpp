#include "common/TestMain.h"

#include <QDir>
#include <QTemporaryDir>

namespace {
QTemporaryDir* gRoot = nullptr;
}

namespace TestSupport {

void isolateUserFolders() {
    static QTemporaryDir root(QDir::tempPath() + QStringLiteral("/palavero-test-XXXXXX"));
    gRoot = &root;
    const QString base = root.path();
    for (const char* name : {"config", "data", "runtime"})
        QDir(base).mkpath(QLatin1String(name));
    QFile::setPermissions(base + QStringLiteral("/runtime"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                  QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("/data")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", (base + QStringLiteral("/runtime")).toUtf8());
}

QString userRoot() {
    return gRoot ? gRoot->path() : QString();
}

} // namespace TestSupport
