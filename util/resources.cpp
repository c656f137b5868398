#include "util/resources.h"

#include <windows.h>

#include "util/log.h"

namespace util {

Bytes LoadRcData(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_RCDATA);
  if (!found) {
    LogLastError("FindResourceA (RCDATA)");
    return Bytes();
  }
  const DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);  // resources need no freeing
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) {
    LogWarning("RCDATA resource %d could not be loaded or is empty", id);
    return Bytes();
  }
  const auto* first = static_cast<const std::uint8_t*>(data);
  return Bytes(first, first + size);
}

}  // namespace util
