#include "platform/linux/QtSound.h"
