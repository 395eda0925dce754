#pragma once

#include "platform/Platform.h"

// The services of Windows.
std::unique_ptr<TPlatform> CreateWindowsPlatform(TPlatformUse use);
