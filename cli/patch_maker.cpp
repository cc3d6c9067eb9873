#include "cli/patch_maker.h"

#include <algorithm>

#include "vcdiff/encoder/encoder.h"
#include "vcdiff/encoder/round_trip.h"

namespace tvl::cli {
namespace {

struct FileTarget {
  File* file;
  FileError error = 0;
};

int64_t ReadFileTarget(void* opaque, uint8_t* buffer, uint64_t size) {
  FileTarget& target = *static_cast<FileTarget*>(opaque);
  // The encoder asks for a window at most; the cap only keeps a 32-bit size_t whole.
  const size_t count = static_cast<size_t>(std::min<uint64_t>(size, uint64_t{1} << 30));
  return target.file->Read(buffer, count, &target.error);
}

EncodeOptions Names(const std::string& source_name, const std::string& target_name) {
  EncodeOptions options;
  options.source_name = HeaderName(source_name);
  options.target_name = HeaderName(target_name);
  return options;
}

bool Encoded(const EncodeResult& encoded, std::string* error) {
  if (encoded.status == EncodeStatus::kOk) return true;
  *error = std::string("cannot encode: ") + encoded.message;
  return false;
}

bool Rebuilds(const RoundTrip& check, std::string* error) {
  if (check.rebuilt) return true;
  *error = "the new patch " + check.problem;
  return false;
}

}  // namespace

bool MakeVerifiedPatch(std::span<const uint8_t> source, std::span<const uint8_t> target,
                       const std::string& source_name, const std::string& target_name,
                       std::vector<uint8_t>* patch, std::string* error) {
  return Encoded(EncodeDelta(source, target, Names(source_name, target_name), *patch), error) &&
         Rebuilds(VerifyDelta(source, target, *patch), error);
}

bool MakeVerifiedPatch(std::span<const uint8_t> source, File& target_file,
                       const std::string& target_shown, const std::string& source_name,
                       const std::string& target_name, std::vector<uint8_t>* patch,
                       std::string* error) {
  FileTarget target{&target_file};
  const TargetReader reader{ReadFileTarget, &target};
  const auto unreadable = [&] {
    *error = "cannot read " + target_shown + ": " + DescribeFileError(target.error);
    patch->clear();
    return false;
  };
  const EncodeResult encoded = EncodeDelta(source, reader, Names(source_name, target_name), *patch);
  if (encoded.status == EncodeStatus::kTargetUnreadable) return unreadable();
  if (!Encoded(encoded, error)) return false;
  if (!target_file.Seek(0, &target.error)) return unreadable();
  const RoundTrip check = VerifyDelta(source, reader, *patch);
  if (check.target_unreadable) return unreadable();
  return Rebuilds(check, error);
}

std::string HeaderName(const std::string& file_name) {
  std::string name;
  for (char c : file_name) {
    bool printable = c > ' ' && c < 0x7f && c != '/';
    name.push_back(printable ? c : '_');
  }
  return name.empty() ? "_" : name;
}

}  // namespace tvl::cli
