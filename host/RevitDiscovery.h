#pragma once
// STUB until the host branch is merged.
#include <cstdint>
bool IsRevitInstalled(int32_t year);
