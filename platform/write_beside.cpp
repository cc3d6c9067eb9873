#include "platform/write_beside.h"

#include <filesystem>
#include <system_error>

namespace tvl {

BesideStart WriteBeside::Begin(const Path& target, FileError* error,
                               const TempFileMaker& make_temp) {
  target_ = target;
  folder_ = FolderOf(target);
  // Checked before anything is written, so a read-only target fails alike on every system and
  // costs no work.
  std::error_code exists_error;
  if (std::filesystem::exists(target, exists_error) && !CanReplaceFile(target, error)) {
    return BesideStart::kCannotReplace;
  }
  temp_.Reset(MakeTempFileWith(make_temp, folder_, error));
  return temp_.empty() ? BesideStart::kNoTempFile : BesideStart::kReady;
}

bool WriteBeside::PutInPlace(FileError* error) {
  if (temp_.empty() || !MoveFileReplacing(temp_.path(), target_, error)) return false;
  temp_.Release();
  return true;
}

}  // namespace tvl
