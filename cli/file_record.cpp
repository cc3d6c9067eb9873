#include "cli/file_record.h"

#include "catalogue/catalogue.h"
#include "platform/text.h"

namespace tvl::cli {

Record FileRecord(int index, const std::string& sha1_hex, const std::string& file) {
  Record record = {NumberField("index", index), TextField("sha1", sha1_hex)};
  if (index < 0) {
    record.push_back(NoneField("id"));
    record.push_back(NoneField("title", "unknown"));
  } else {
    const IwadRecord& entry = GetIwad(index);
    record.push_back(TextField("id", Narrow(FormatReleaseId(entry))));
    record.push_back(TextField("title", Narrow(entry.title)));
  }
  record.push_back(TextField("file", file));
  return record;
}

}  // namespace tvl::cli
