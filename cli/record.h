// One record of a command's output: a TAB-separated line, or with --json an object of JSON Lines.
// Both forms keep a record on one line whatever bytes a file name holds.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvl::cli {

enum class RecordFormat { kTab, kJson };

struct RecordField {
  enum Kind { kText, kNumber, kNone, kList };
  const char* name;  // the JSON key: the column's name in lower case
  Kind kind;
  std::string text;  // the text, the number's digits, or for kNone what the TAB line shows
  std::vector<std::string> list;     // kList: joined by ',' in the TAB line, an array in JSON
  std::optional<RecordFormat> only;  // printed in this form alone; in both when empty
};

RecordField TextField(const char* name, std::string text);
RecordField NumberField(const char* name, long long value);
// No value: `placeholder` in the TAB line, null in JSON.
RecordField NoneField(const char* name, std::string placeholder = "-");
// An empty list is no value.
RecordField ListField(const char* name, std::vector<std::string> items);

// The field, printed in `format` alone: where one form says in two fields what the other says in
// one.
RecordField OnlyIn(RecordFormat format, RecordField field);

using Record = std::vector<RecordField>;

// On Windows a backslash is the folder separator and no file name holds TAB, LF or CR, so paths
// stay as users know them there; elsewhere a name may hold any byte but NUL and '/', and the
// backslash must be escaped too for the escapes to be read back.
#ifdef _WIN32
inline constexpr bool kEscapesBackslash = false;
#else
inline constexpr bool kEscapesBackslash = true;
#endif

// Backslash (see kEscapesBackslash), TAB, LF and CR as \\, \t, \n and \r; every other byte as
// it is.
std::string EscapeTabField(std::string_view text);

// The record without its line break.
std::string FormatRecord(const Record& record, RecordFormat format);

// Prints the record and a line break to stdout.
void PrintRecord(const Record& record, RecordFormat format);

}  // namespace tvl::cli
