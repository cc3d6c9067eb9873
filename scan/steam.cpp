#include "scan/steam.h"

#include <string>

namespace tvl {
namespace {

constexpr const char* kGameFolders[] = {
    "Ultimate Doom",                         // The Ultimate Doom, its Unity port and re-release
    "Doom 2",                                // Doom II, likewise
    "Final Doom",                            // TNT: Evilution and The Plutonia Experiment
    "Master Levels of Doom",                 // Master Levels for Doom II
    "DOOM 3 BFG Edition",                    // Doom, Doom II and No Rest for the Living
    "DOOM + DOOM II",                        // the combined re-release
    "Doom 64",                               // the Doom 64 re-release
    "Heretic Shadow of the Serpent Riders",  // Heretic
    "Hexen",                                 // Hexen
    "Hexen Deathkings of the Dark Citadel",  // its expansion
    "Heretic + Hexen",                       // the combined re-release
    "Strife",                                // Strife: Veteran Edition
};

// A libraryfolders.vdf is Valve's KeyValues text: quoted keys, each followed by a quoted value
// or by a block in braces. Backslashes escape within quotes ("D:\\SteamLibrary").
struct Token {
  enum Kind { kString, kOpen, kClose, kEnd } kind;
  std::string text;
};

class Tokens {
 public:
  explicit Tokens(std::string_view text) : text_(text) {}

  Token Next() {
    for (;;) {
      while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
      if (at_ + 1 < text_.size() && text_[at_] == '/' && text_[at_ + 1] == '/') {
        while (at_ < text_.size() && text_[at_] != '\n') ++at_;
        continue;
      }
      break;
    }
    if (at_ >= text_.size()) return {Token::kEnd, {}};
    char c = text_[at_];
    if (c == '{' || c == '}') {
      ++at_;
      return {c == '{' ? Token::kOpen : Token::kClose, {}};
    }
    std::string value;
    if (c == '"') {
      for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
        if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
        value += text_[at_];
      }
      ++at_;  // the closing quote, or past the end of an unterminated string
      return {Token::kString, value};
    }
    // Unquoted words are tolerated, as Steam's own reader does.
    while (at_ < text_.size() && !IsSpace(text_[at_]) && text_[at_] != '{' && text_[at_] != '}' &&
           text_[at_] != '"') {
      value += text_[at_++];
    }
    return {Token::kString, value};
  }

 private:
  static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  std::string_view text_;
  size_t at_ = 0;
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

bool IsNumber(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

Path PathFromUtf8(const std::string& text) {
  return Path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

}  // namespace

std::vector<Path> ParseSteamLibraryFolders(std::string_view vdf) {
  std::vector<Path> folders;
  Tokens tokens(vdf);
  int depth = 0;
  for (;;) {
    Token key = tokens.Next();
    if (key.kind == Token::kEnd) break;
    if (key.kind == Token::kOpen) {
      ++depth;
      continue;
    }
    if (key.kind == Token::kClose) {
      if (depth > 0) --depth;
      continue;
    }
    Token value = tokens.Next();
    if (value.kind == Token::kEnd) break;
    if (value.kind == Token::kOpen) {
      ++depth;
      continue;
    }
    if (value.kind == Token::kClose) {
      if (depth > 0) --depth;
      continue;
    }
    // Current files: "path" inside each numbered block. Older ones: "1" "D:\\Library" directly
    // inside the outer block, where numbered keys have no other meaning.
    bool listed = EqualsIgnoringCase(key.text, "path") || (depth == 1 && IsNumber(key.text));
    if (listed && !value.text.empty()) folders.push_back(PathFromUtf8(value.text));
  }
  return folders;
}

std::span<const char* const> SteamGameFolders() { return kGameFolders; }

}  // namespace tvl
