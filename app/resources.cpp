#include "app/resources.h"

#include <windows.h>

namespace app {

Bytes LoadResourceBytes(int id) {
  HMODULE module = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!found) return Bytes();
  DWORD size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);  // resources need no freeing
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data || size == 0) return Bytes();
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return Bytes(bytes, bytes + size);
}

}  // namespace app
