#include "cli/file_record.h"

#include "catalogue/catalogue.h"
#include "cli/cli.h"
#include "platform/text.h"
#include "zip/zipped_file.h"

namespace tvl::cli {

Record FileRecord(int index, const std::string& sha1_hex, const FileName& name) {
  Record record = {NumberField("index", index), TextField("sha1", sha1_hex)};
  if (index < 0) {
    record.push_back(NoneField("id"));
    record.push_back(NoneField("title", "unknown"));
  } else {
    const IwadRecord& entry = GetIwad(index);
    record.push_back(TextField("id", Narrow(FormatReleaseId(entry))));
    record.push_back(TextField("title", Narrow(entry.title)));
  }
  if (!name.entry) {
    record.push_back(TextField("file", name.file));
    record.push_back(OnlyIn(RecordFormat::kJson, NoneField("entry")));
    return record;
  }
  record.push_back(OnlyIn(RecordFormat::kTab,
                          TextField("file", ZipEntryLabel(PathFromArg(name.file), *name.entry))));
  record.push_back(OnlyIn(RecordFormat::kJson, TextField("file", name.file)));
  record.push_back(OnlyIn(RecordFormat::kJson, TextField("entry", *name.entry)));
  return record;
}

}  // namespace tvl::cli
