#include "cli/patch_maker.h"

#include "vcdiff/encoder/encoder.h"
#include "vcdiff/encoder/round_trip.h"

namespace tvl::cli {

bool MakeVerifiedPatch(std::span<const uint8_t> source, std::span<const uint8_t> target,
                       const std::string& source_name, const std::string& target_name,
                       std::vector<uint8_t>* patch, std::string* error) {
  EncodeOptions options;
  options.source_name = HeaderName(source_name);
  options.target_name = HeaderName(target_name);
  EncodeResult encoded = EncodeDelta(source, target, options, *patch);
  if (encoded.status != EncodeStatus::kOk) {
    *error = std::string("cannot encode: ") + encoded.message;
    return false;
  }
  const RoundTrip check = VerifyDelta(source, target, *patch);
  if (!check.rebuilt) {
    *error = "the new patch " + check.problem;
    return false;
  }
  return true;
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
