#pragma once
#include "util/text.h"

namespace update {
// Whether the link address from the server may be handed to the shell: only web addresses
// ("http://" or "https://", any case). Anything else (a program, a file, a script) is not opened.
bool IsOpenableLinkAddress(const Text& address);
}  // namespace update
