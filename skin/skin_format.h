#pragma once
// The skin file: a small line-based text format (see README.md). Parsing is pure.
#include <cstdint>
#include <string>

namespace skin {

using Colour = std::uint32_t;  // 0x00BBGGRR, as GDI takes it

struct Skin {
  std::string name;
  std::string passwordMd5;  // 32 lower-case hex digits, or empty when the file is open
  Colour captionActive = 0, captionInactive = 0;
  Colour captionTextActive = 0, captionTextInactive = 0;
  bool captionTextCentred = false;
  Colour frameActive = 0, frameInactive = 0, frameOutline = 0;
  Colour controlFace = 0, controlText = 0, fieldBackground = 0, fieldText = 0;
};

// The results SkinH_AttachEx returns.
enum Status : int {
  kAttached = 0,
  kFileUnreadable = 1,  // missing, unreadable, empty path, or too large
  kFileDamaged = 2,     // not a skin file, or a line that does not parse
  kWrongPassword = 3,   // the file is protected and the password does not open it
  kAlreadyAttached = 4,
  kAttachFailed = 5,    // the window hook could not be installed
};

// Parses the whole file text. On failure `skin` is unspecified and `error` says why.
Status ParseSkin(const std::string& text, Skin& skin, std::string& error);

// True when `passwordMd5Hex` opens the skin (an open skin takes any password).
bool PasswordOpens(const Skin& skin, const std::string& passwordMd5Hex);

}  // namespace skin
