#include "cli/record.h"

#include <utility>

#include "platform/text.h"

namespace tvl::cli {

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
