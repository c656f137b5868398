#pragma once
// Files carried in the executable (resources/tandrel.rc).
#include "util/resources.h"
#include "util/text.h"

namespace app {

constexpr int kProgramIconGroupId = 1;  // RT_GROUP_ICON
constexpr int kPlusPictureId = 201;     // RCDATA: 50x50 PNG, green disc with a white plus
constexpr int kTaoPictureId = 202;      // RCDATA: 60x60 PNG, red rounded square with 淘
constexpr int kProgramIconFileId = 203; // RCDATA: the 9662-byte icon file

// The bytes of an RCDATA resource of the running executable; empty when it is missing.
inline Bytes LoadResourceBytes(int id) { return util::LoadRcData(id); }

}  // namespace app
