#include "cli/record.h"

#include <cstdio>
#include <utility>

namespace tvl::cli {
namespace {

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

RecordField TextField(const char* name, std::string text) {
  return {name, RecordField::kText, std::move(text), {}, {}};
}

RecordField NumberField(const char* name, long long value) {
  return {name, RecordField::kNumber, std::to_string(value), {}, {}};
}

RecordField NoneField(const char* name, std::string placeholder) {
  return {name, RecordField::kNone, std::move(placeholder), {}, {}};
}

RecordField ListField(const char* name, std::vector<std::string> items) {
  if (items.empty()) return NoneField(name);
  return {name, RecordField::kList, {}, std::move(items), {}};
}

RecordField OnlyIn(RecordFormat format, RecordField field) {
  field.only = format;
  return field;
}

std::string EscapeTabField(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\':
        out += kEscapesBackslash ? "\\\\" : "\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
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

namespace {

std::string FormatTab(const Record& record) {
  std::string line;
  bool first = true;
  for (const RecordField& field : record) {
    if (field.only == RecordFormat::kJson) continue;
    if (!first) line += '\t';
    first = false;
    if (field.kind == RecordField::kList) {
      std::string joined;
      for (const std::string& item : field.list) {
        if (!joined.empty()) joined += ',';
        joined += item;
      }
      line += EscapeTabField(joined);
    } else {
      line += EscapeTabField(field.text);
    }
  }
  return line;
}

std::string FormatJson(const Record& record) {
  std::string line(1, '{');
  for (const RecordField& field : record) {
    if (field.only == RecordFormat::kTab) continue;
    if (line.size() > 1) line += ',';
    line += JsonString(field.name);
    line += ':';
    switch (field.kind) {
      case RecordField::kText:
        line += JsonString(field.text);
        break;
      case RecordField::kNumber:
        line += field.text;
        break;
      case RecordField::kNone:
        line += "null";
        break;
      case RecordField::kList: {
        line += '[';
        for (size_t i = 0; i < field.list.size(); ++i) {
          if (i) line += ',';
          line += JsonString(field.list[i]);
        }
        line += ']';
        break;
      }
    }
  }
  line += '}';
  return line;
}

}  // namespace

std::string FormatRecord(const Record& record, RecordFormat format) {
  return format == RecordFormat::kTab ? FormatTab(record) : FormatJson(record);
}

void PrintRecord(const Record& record, RecordFormat format) {
  std::string line = FormatRecord(record, format);
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stdout);
}

}  // namespace tvl::cli
