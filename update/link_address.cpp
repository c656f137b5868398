#include "update/link_address.h"

namespace update {
bool IsOpenableLinkAddress(const Text& address) {
  return util::FindTextNoCase(address, "http://") == 0 || util::FindTextNoCase(address, "https://") == 0;
}
}  // namespace update
