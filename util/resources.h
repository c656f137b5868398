#pragma once
// Files carried inside the running executable as RCDATA resources.
#include "util/text.h"

namespace util {

// The bytes of the RT_RCDATA resource `id` of the running executable (not of a DLL that
// calls this); empty when it is missing or empty.
Bytes LoadRcData(int id);

}  // namespace util
