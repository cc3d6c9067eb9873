// A strict reader of one JSON Lines record, of the test's own so that the program's writer can't
// hide a fault in a shared reading of the format: RFC 8259 text with nothing after the value,
// raw bytes that are valid UTF-8, no control characters in strings and no repeated keys.
// Strings come back as bytes: UTF-8, with a lone \udc80 to \udcff turned back into its byte,
// as Python's "surrogateescape" does.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tvl::testing {

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  std::string text;  // the string's bytes, the number's digits, "true" or "false"
  std::vector<JsonValue> items;
  std::vector<std::pair<std::string, JsonValue>> members;  // in order

  const JsonValue* Find(std::string_view key) const {
    for (const auto& [name, value] : members) {
      if (name == key) return &value;
    }
    return nullptr;
  }
  std::vector<std::string> Keys() const {
    std::vector<std::string> keys;
    for (const auto& member : members) keys.push_back(member.first);
    return keys;
  }
};

class JsonReader {
 public:
  // The value of `text`, or nothing when it is not strictly one JSON value.
  static std::optional<JsonValue> Parse(std::string_view text) {
    JsonReader reader(text);
    JsonValue value;
    if (!reader.Utf8Valid() || !reader.Value(&value, 0)) return std::nullopt;
    reader.Space();
    if (reader.at_ != text.size()) return std::nullopt;
    return value;
  }

 private:
  explicit JsonReader(std::string_view text) : text_(text) {}

  bool Utf8Valid() const {
    for (size_t i = 0; i < text_.size();) {
      const auto c = static_cast<unsigned char>(text_[i]);
      size_t n = c < 0x80                 ? 1
                 : c >= 0xc2 && c <= 0xdf ? 2
                 : c >= 0xe0 && c <= 0xef ? 3
                 : c >= 0xf0 && c <= 0xf4 ? 4
                                          : 0;
      if (n == 0 || i + n > text_.size()) return false;
      char32_t code = n == 1 ? c : c & (0x7f >> n);
      for (size_t k = 1; k < n; ++k) {
        const auto next = static_cast<unsigned char>(text_[i + k]);
        if ((next & 0xc0) != 0x80) return false;
        code = code << 6 | (next & 0x3f);
      }
      const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
      if (code < least[n] || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff)) return false;
      i += n;
    }
    return true;
  }

  void Space() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r')) {
      ++at_;
    }
  }
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) return ++at_, true;
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) return false;
    return at_ += word.size(), true;
  }
  bool Digits() {
    const size_t start = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > start;
  }

  bool Value(JsonValue* value, int depth) {
    if (depth > 64) return false;
    Space();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '{') return Object(value, depth);
    if (c == '[') {
      ++at_;
      value->kind = JsonValue::kArray;
      Space();
      if (Take(']')) return true;
      do {
        value->items.emplace_back();
        if (!Value(&value->items.back(), depth + 1)) return false;
        Space();
      } while (Take(','));
      return Take(']');
    }
    if (c == '"') return value->kind = JsonValue::kString, String(&value->text);
    if (Word("null")) return value->kind = JsonValue::kNull, true;
    for (const char* word : {"true", "false"}) {
      if (Word(word)) return value->kind = JsonValue::kBool, value->text = word, true;
    }
    const size_t start = at_;
    Take('-');
    if (!Take('0') && !(at_ < text_.size() && text_[at_] >= '1' && text_[at_] <= '9' && Digits())) {
      return false;
    }
    if (Take('.') && !Digits()) return false;
    if (Take('e') || Take('E')) {
      if (!Take('+')) Take('-');
      if (!Digits()) return false;
    }
    value->kind = JsonValue::kNumber;
    value->text = std::string(text_.substr(start, at_ - start));
    return true;
  }

  bool Object(JsonValue* value, int depth) {
    ++at_;
    value->kind = JsonValue::kObject;
    Space();
    if (Take('}')) return true;
    do {
      Space();
      std::string key;
      if (!String(&key) || value->Find(key)) return false;
      Space();
      if (!Take(':')) return false;
      value->members.emplace_back(key, JsonValue{});
      if (!Value(&value->members.back().second, depth + 1)) return false;
      Space();
    } while (Take(','));
    return Take('}');
  }

  bool Hex4(char32_t* unit) {
    if (at_ + 4 > text_.size()) return false;
    *unit = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[at_++];
      const int digit = h >= '0' && h <= '9'   ? h - '0'
                        : h >= 'a' && h <= 'f' ? h - 'a' + 10
                        : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                               : -1;
      if (digit < 0) return false;
      *unit = *unit << 4 | static_cast<char32_t>(digit);
    }
    return true;
  }

  static void PutUtf8(std::string* out, char32_t c) {
    if (c < 0x80) {
      out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out->push_back(static_cast<char>(0xc0 | c >> 6));
      out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else if (c < 0x10000) {
      out->push_back(static_cast<char>(0xe0 | c >> 12));
      out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3f)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
    } else {
      out->push_back(static_cast<char>(0xf0 | c >> 18));
      out->push_back(static_cast<char>(0x80 | (c >> 12 & 0x3f)));
      out->push_back(static_cast<char>(0x80 | (c >> 6 & 0x3f)));
      out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
    }
  }

  bool String(std::string* out) {
    if (!Take('"')) return false;
    for (;;) {
      if (at_ >= text_.size()) return false;
      const auto c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;
      if (c != '\\') {
        out->push_back(static_cast<char>(c));
        continue;
      }
      if (at_ >= text_.size()) return false;
      const char e = text_[at_++];
      const std::string_view simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
      if (size_t k = simple.find(e); k != std::string_view::npos) {
        out->push_back(meaning[k]);
        continue;
      }
      char32_t unit;
      if (e != 'u' || !Hex4(&unit)) return false;
      if (unit >= 0xd800 && unit <= 0xdbff) {
        char32_t low;
        if (!Word("\\u") || !Hex4(&low) || low < 0xdc00 || low > 0xdfff) return false;
        PutUtf8(out, 0x10000 + ((unit - 0xd800) << 10) + (low - 0xdc00));
      } else if (unit >= 0xdc80 && unit <= 0xdcff) {
        out->push_back(static_cast<char>(unit - 0xdc00));  // an escaped byte
      } else if (unit >= 0xdc00 && unit <= 0xdfff) {
        return false;
      } else {
        PutUtf8(out, unit);
      }
    }
  }

  std::string_view text_;
  size_t at_ = 0;
};

}  // namespace tvl::testing
