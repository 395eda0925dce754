// The audio module "palavero-sound", loaded by TLazySound on the first sound.
#include "platform/linux/QtSound.h"

extern "C" Q_DECL_EXPORT ISound* palaveroCreateSound() {
    return new TQtSound;
}
