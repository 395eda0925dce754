#include "platform/linux/LazySound.h"

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcSound, "palavero.platform.sound", QtInfoMsg)

using CreateSound = ISound* (*)();
} // namespace

TLazySound::TLazySound(QStringList folders) : FFolders(std::move(folders)) {}

// The output is destroyed before the library; the library stays mapped until
// the program ends (Qt Multimedia does not like being unloaded).
TLazySound::~TLazySound() = default;

QStringList TLazySound::foldersBeside(const QString& executableFolder) {
    const QDir folder(executableFolder);
    return {folder.path(), QDir::cleanPath(folder.filePath(QStringLiteral(PALAVERO_MODULE_FROM_EXECUTABLE)))};
}

QStringList TLazySound::defaultFolders() {
    if (!QCoreApplication::instance())
        return {};
    return foldersBeside(QCoreApplication::applicationDirPath());
}

QString TLazySound::missingText() {
    return QStringLiteral("Kein Ton: Audiomodul fehlt");
}

ISound* TLazySound::output() {
    if (FTried)
        return FOutput.get();
    FTried = true;
    for (const QString& folder : FFolders) {
        FLibrary.setFileName(QDir(folder).filePath(QStringLiteral("palavero-sound")));
        if (!FLibrary.load())
            continue;
        const auto create = reinterpret_cast<CreateSound>(FLibrary.resolve("palaveroCreateSound"));
        if (create)
            FOutput.reset(create());
        if (FOutput) {
            qCDebug(lcSound) << "audio module loaded:" << FLibrary.fileName();
            return FOutput.get();
        }
    }
    qCWarning(lcSound) << "the audio module palavero-sound is missing; arrival signals stay silent:"
                       << FFolders << FLibrary.errorString();
    reportUnavailable(missingText());
    return nullptr;
}

void TLazySound::playTones(const QList<TTone>& tones) {
    if (tones.isEmpty())
        return;
    if (ISound* out = output())
        out->playTones(tones);
}

void TLazySound::playFile(const QString& path) {
    if (path.isEmpty())
        return;
    if (ISound* out = output())
        out->playFile(path);
}
