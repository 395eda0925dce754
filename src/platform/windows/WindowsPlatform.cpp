#include "platform/windows/WindowsPlatform.h"
std::unique_ptr<TPlatform> CreateWindowsPlatform(TPlatformUse) { return std::make_unique<TPlatform>(); }
