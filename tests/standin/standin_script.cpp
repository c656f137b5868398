#include "tests/standin/standin_script.h"

#include <cstdlib>
#include <sstream>

namespace standin {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : text) {
    if (c == '\n' || c == '|') {
      lines.push_back(line);
      line.clear();
    } else if (c != '\r') {
      line += c;
    }
  }
  lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

// A whole non-negative decimal number, or -1.
int Number(const std::string& word) {
  if (word.empty() || word.size() > 9) return -1;
  for (char c : word)
    if (c < '0' || c > '9') return -1;
  return std::atoi(word.c_str());
}

// "<ms>", "login+<ms>" or "main+<ms>".
bool ParseWhen(const std::string& word, When* when) {
  When w;
  std::string ms = word;
  if (word.rfind("login+", 0) == 0) {
    w.anchor = Anchor::kLoginShown;
    ms = word.substr(6);
  } else if (word.rfind("main+", 0) == 0) {
    w.anchor = Anchor::kMainShown;
    ms = word.substr(5);
  }
  w.ms = Number(ms);
  if (w.ms < 0) return false;
  *when = w;
  return true;
}

// Applies one line; false when it is not understood.
bool ApplyLine(const std::vector<std::string>& w, Script* s, const std::string& rawLine) {
  const std::string& key = w[0];
  const size_t n = w.size();
  if (key == "start" && n == 2) {
    if (w[1] == "login") s->start = StartMode::kLogin;
    else if (w[1] == "main") s->start = StartMode::kMain;
    else if (w[1] == "hidden") s->start = StartMode::kHidden;
    else return false;
    return true;
  }
  if (key == "login_window" && n == 2) return (s->loginWindowDelayMs = Number(w[1])) >= 0;
  if (key == "busy" && n == 2) {
    if (w[1] == "forever") {
      s->busyMs = -1;
      return true;
    }
    return (s->busyMs = Number(w[1])) >= 0;
  }
  if (key == "size" && n == 3) {
    int width = Number(w[1]), height = Number(w[2]);
    if (width < 1 || height < 1) return false;
    s->mainWidth = width;
    s->mainHeight = height;
    return true;
  }
  if (key == "position" && n == 3) {
    char* end1 = nullptr;
    char* end2 = nullptr;
    long x = std::strtol(w[1].c_str(), &end1, 10), y = std::strtol(w[2].c_str(), &end2, 10);
    if (*end1 || *end2) return false;
    s->mainX = static_cast<int>(x);
    s->mainY = static_cast<int>(y);
    return true;
  }
  if (key == "colour" && n == 2) {
    std::string hex = w[1];
    if (hex.rfind("0x", 0) == 0 || hex.rfind("0X", 0) == 0) hex = hex.substr(2);
    if (hex.rfind("#", 0) == 0) hex = hex.substr(1);
    if (hex.size() != 6) return false;
    char* end = nullptr;
    unsigned long rgb = std::strtoul(hex.c_str(), &end, 16);
    if (*end) return false;
    // Written as RRGGBB like a web colour; kept as a COLORREF.
    s->colour = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
    s->hasColour = true;
    return true;
  }
  if (key == "login" && n == 2) return ParseWhen(w[1], &s->login);
  if (key == "resize" && n == 4) {
    When when;
    int width = Number(w[2]), height = Number(w[3]);
    if (!ParseWhen(w[1], &when) || width < 1 || height < 1) return false;
    s->resize = when;
    s->resizeWidth = width;
    s->resizeHeight = height;
    return true;
  }
  if (key == "alert" && n == 2) return ParseWhen(w[1], &s->alert);
  if (key == "exit" && (n == 2 || n == 3)) {
    When when;
    if (!ParseWhen(w[1], &when)) return false;
    int code = 0;
    if (n == 3 && (code = Number(w[2])) < 0) return false;
    s->exit = when;
    s->exitCode = code;
    return true;
  }
  if (key == "crash" && n == 2) return ParseWhen(w[1], &s->crash);
  if (key == "hang" && (n == 2 || n == 3)) {
    When when;
    if (!ParseWhen(w[1], &when)) return false;
    int duration = -1;
    if (n == 3 && (duration = Number(w[2])) < 0) return false;
    s->hang = when;
    s->hangMs = duration;
    return true;
  }
  if (key == "log" && n >= 2) {
    // The path is the rest of the line, spaces included.
    size_t at = rawLine.find("log") + 3;
    size_t first = rawLine.find_first_not_of(" \t", at);
    size_t last = rawLine.find_last_not_of(" \t");
    s->logPath = rawLine.substr(first, last - first + 1);
    return true;
  }
  return false;
}

}  // namespace

Script ParseStandinScript(const std::string& text, int instance) {
  Script script;
  bool active = true;
  int lineNumber = 0;
  for (std::string line : SplitLines(text)) {
    ++lineNumber;
    size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    if (words.size() == 1 && words[0].size() > 2 && words[0].front() == '[' && words[0].back() == ']') {
      std::string name = words[0].substr(1, words[0].size() - 2);
      int number = Number(name);
      if (name == "all") active = true;
      else if (number >= 1) active = number == instance;
      else script.errors.push_back("line " + std::to_string(lineNumber) + ": bad section " + words[0]);
      continue;
    }
    if (!active) continue;
    if (!ApplyLine(words, &script, line))
      script.errors.push_back("line " + std::to_string(lineNumber) + ": not understood: " + line);
  }
  return script;
}

std::uint32_t AvatarColourForProcess(std::uint32_t processId) {
  // Process ids are multiples of 4 and close together. Multiplying the 15-bit index by an odd
  // number permutes it, so ids below 131072 never share a colour while neighbours look apart.
  std::uint32_t k = ((processId >> 2) * 12345u) & 0x7FFF;
  std::uint32_t r = 64 + 5 * (k & 0x1F);
  std::uint32_t g = 64 + 5 * ((k >> 5) & 0x1F);
  std::uint32_t b = 64 + 5 * ((k >> 10) & 0x1F);
  return r | (g << 8) | (b << 16);
}

}  // namespace standin
