#include "platform/linux/LinuxFirewall.h"
