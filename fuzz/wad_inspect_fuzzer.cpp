// libFuzzer target: any bytes as a file whose WAD header and directory are inspected.
//
// The input is the file. Besides the sanitizers' checks, every read must start inside the file
// and stay within one directory piece, the bytes asked for in all may not exceed the header
// and the file, and the explanation is always some text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "catalogue/wad_inspect.h"

namespace {

struct Input {
  const uint8_t* data;
  size_t size;
  uint64_t asked;
};

int64_t ReadInput(void* context, uint64_t offset, void* buffer, size_t size, tvl::FileError*) {
  Input& input = *static_cast<Input*>(context);
  if (offset > input.size || size > 16 * 1024) std::abort();
  input.asked += size;
  size_t n = size < input.size - offset ? size : input.size - static_cast<size_t>(offset);
  std::memcpy(buffer, input.data + offset, n);
  return static_cast<int64_t>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input{data, size, 0};
  tvl::WadInspection inspection = tvl::InspectWad({&input, ReadInput, size});
  if (input.asked > 12 + size) std::abort();
  if (tvl::ExplainWad(inspection).empty()) std::abort();
  return 0;
}
