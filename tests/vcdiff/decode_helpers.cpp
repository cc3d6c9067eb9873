#include "tests/vcdiff/decode_helpers.h"

#include "tests/vcdiff/vcdiff_writer.h"

namespace tvl::testing {

DecodeResult Decode(const std::vector<uint8_t>& patch, const std::vector<uint8_t>& source,
                    MemoryDecodeOptions options) {
  options.isolated_buffers = true;
  options.record_events = true;
  return DecodeInMemory(patch, source, options);
}

std::vector<int> Events(const DecodeResult& result) {
  std::vector<int> events;
  for (int status : result.statuses) {
    if (status != kStatusNeedInput) events.push_back(status);
  }
  return events;
}

Sample RichSample() {
  Sample sample;
  for (int i = 0; i < 100; ++i) sample.source.push_back(static_cast<uint8_t>(i * 7 + 3));

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

  WindowBuilder third(&sample.source, 90, 50);  // runs 40 bytes past the source's end
  third.Copy(0, 10, 0);                         // ends exactly at the end of the short block
  third.AddCopy(Text("end"), 3, 4, 0);

  sample.patch = EncodeStream({first, second, third}, kAppHeader);
  sample.expected = ExpectedTarget({first, second, third});
  return sample;
}

}  // namespace tvl::testing
