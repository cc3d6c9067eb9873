#include "platform/text.h"

#include <cstdio>

namespace tvl {
namespace {

bool IsHighSurrogate(char32_t c) { return c >= 0xd800 && c <= 0xdbff; }
bool IsLowSurrogate(char32_t c) { return c >= 0xdc00 && c <= 0xdfff; }

void AppendUtf8(std::string* out, char32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xc0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xe0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  } else {
    out->push_back(static_cast<char>(0xf0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3f)));
  }
}

// The length of the valid UTF-8 sequence at `text[at]`, or 0 when the byte there starts none:
// no overlong forms, no encoded surrogates, nothing above U+10FFFF.
size_t Utf8SequenceLength(std::string_view text, size_t at) {
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return 1;
  size_t length;
  unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
  if (lead >= 0xc2 && lead <= 0xdf) {
    length = 2;
  } else if (lead >= 0xe0 && lead <= 0xef) {
    length = 3;
    if (lead == 0xe0) low = 0xa0;
    if (lead == 0xed) high = 0x9f;
  } else if (lead >= 0xf0 && lead <= 0xf4) {
    length = 4;
    if (lead == 0xf0) low = 0x90;
    if (lead == 0xf4) high = 0x8f;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  if (byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xbf) return 0;
  }
  return length;
}

void AppendHex4(std::string* out, unsigned value) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\u%04x", value & 0xffff);
  out->append(hex);
}

}  // namespace

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xd800) << 10) + (text[++i] - 0xdc00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      c = 0xfffd;
    }
    AppendUtf8(&utf8, c);
  }
  return utf8;
}

std::string Narrow(std::u16string_view text) {
  std::string narrow;
  narrow.reserve(text.size());
  for (char16_t c : text) narrow.push_back(c < 0x80 ? static_cast<char>(c) : '?');
  return narrow;
}

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    const size_t length = Utf8SequenceLength(bytes, i);
    if (length == 0) {
      AppendHex4(&out, 0xdc00 + c);
      ++i;
      continue;
    }
    if (length > 1) {
      out.append(bytes.substr(i, length));
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7f) {
      AppendHex4(&out, c);
    } else {
      out += static_cast<char>(c);
    }
    i += length;
  }
  out += '"';
  return out;
}

}  // namespace tvl
