#include "tests/vcdiff/decode_driver.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tvl::test {

DecodeResult Decode(const std::vector<uint8_t>& patch, const std::vector<uint8_t>& source,
                    const DriverOptions& options) {
  DecodeResult result;
  DecodeStream stream;
  DecodeSource block_source;
  // Each block and each piece lives in its own exact-size allocation, freed as soon as the
  // protocol allows, so that sanitizers catch reads past a block or after a piece's lifetime.
  std::unique_ptr<uint8_t[]> block;
  auto load = [&](uint64_t number) {
    const uint64_t start = number * block_source.block_size;
    const uint64_t count = start >= source.size()
                               ? 0
                               : std::min<uint64_t>(block_source.block_size, source.size() - start);
    block.reset(new uint8_t[count + (count == 0)]);
    if (count > 0) std::memcpy(block.get(), source.data() + start, count);
    block_source.block_data = block.get();
    block_source.block_bytes = count;
    block_source.block_number = number;
  };
  ConfigureDecodeStream(&stream, options.config);
  block_source.block_size = options.block_size;
  if (options.attach_source) {
    SetDecodeSource(&stream, &block_source);
    if (options.preload_first_block) load(0);
  }

  size_t offset = 0;
  size_t piece_index = 0;
  std::unique_ptr<uint8_t[]> piece;
  bool failed = false;
  do {
    size_t size = patch.size() - offset;
    if (!options.pieces.empty()) {
      size = std::min(size, options.pieces[std::min(piece_index, options.pieces.size() - 1)]);
      ++piece_index;
    }
    piece.reset(new uint8_t[size + (size == 0)]);
    if (size > 0) std::memcpy(piece.get(), patch.data() + offset, size);
    offset += size;
    stream.input_next = piece.get();
    stream.input_size = size;
    for (;;) {
      const int status = DecodeInput(&stream);
      result.statuses.push_back(status);
      if (status == kStatusNeedInput) break;
      if (status == kStatusNeedBlock) {
        result.blocks.push_back(block_source.requested_block);
        load(block_source.requested_block);
      } else if (status == kStatusOutput) {
        result.output.insert(result.output.end(), stream.output_data,
                             stream.output_data + stream.output_size);
        result.window_sizes.push_back(stream.output_size);
        stream.output_size = 0;
      } else if (status != kStatusGotHeader && status != kStatusWindowStart &&
                 status != kStatusWindowDone) {
        failed = true;
        break;
      }
    }
    result.status = result.statuses.back();
  } while (!failed && offset < patch.size());
  result.close_status = failed ? 0 : CloseDecodeStream(&stream);
  result.message = stream.message != nullptr ? stream.message : "";
  result.input_total = stream.input_total;
  result.final_state = stream.decode_state;
  FreeDecodeStream(&stream);
  return result;
}

std::vector<int> Events(const DecodeResult& result) {
  std::vector<int> events;
  for (int status : result.statuses) {
    if (status != kStatusNeedInput) events.push_back(status);
  }
  return events;
}

}  // namespace tvl::test

#include "tests/vcdiff/vcdiff_writer.h"

namespace tvl::test {

Sample RichSample() {
  Sample sample;
  for (int i = 0; i < 100; ++i) sample.source.push_back(static_cast<uint8_t>(i * 7 + 3));
  sample.patch = FileHeader();

  WindowBuilder first(&sample.source, 10, 80);
  first.Copy(0, 20, 0);      // source bytes 10..29: blocks 0 and 1
  first.Add(Text("hello"));  // opcode 6
  first.Run(7, 'z');
  first.Copy(first.here() - 2, 9, 1);         // VCD_HERE, overlapping its own output
  first.AddCopy(Text("ab"), 5, 5, 0);         // opcode 167
  first.Copy(7, 4, 4);                        // near slot 2 (address 5) + 2
  first.CopyAdd(5, 6, 'q');                   // same block 0
  first.Add(Text("twenty-two bytes here!"));  // explicit size
  first.Copy(40, 30, 0, true);                // explicit size, up to the segment's end
  first.Copy(82, 19, 5);                      // near slot 3, target copy
  first.Copy(60, 6, 3, true);                 // near slot 1 (address 40)
  first.Copy(50, 4, 2);                       // near slot 0
  Bytes window = first.Encode();
  sample.patch.insert(sample.patch.end(), window.begin(), window.end());

  WindowBuilder second;
  second.indicator = 0x04;  // no source segment
  second.Run(600, 'r');
  second.Add(Text("xyz"));
  second.Copy(601, 4, 0);  // overlaps its output: "yzyz"
  second.Copy(520, 5, 0);
  second.AddCopy(Text("k"), 520, 4, 8);  // same block 2, opcode 243
  second.Copy(300, 6, 0);
  second.CopyAdd(300, 7, 'x');                // same block 1, opcode 254
  second.AddCopy(Text("mnop"), 2, 6, 1);      // VCD_HERE paired, opcode 197 region
  second.CopyAdd(second.here() - 1, 0, '!');  // opcode 247: repeat the last byte
  window = second.Encode();
  sample.patch.insert(sample.patch.end(), window.begin(), window.end());

  WindowBuilder third(&sample.source, 90, 50);  // runs 40 bytes past the source's end
  third.Copy(0, 10, 0);                         // ends exactly at the end of the short block
  third.AddCopy(Text("end"), 3, 4, 0);
  window = third.Encode();
  sample.patch.insert(sample.patch.end(), window.begin(), window.end());

  for (const WindowBuilder* builder : {&first, &second, &third}) {
    sample.expected.insert(sample.expected.end(), builder->expected.begin(),
                           builder->expected.end());
  }
  return sample;
}

}  // namespace tvl::test
