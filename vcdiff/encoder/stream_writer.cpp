#include "vcdiff/encoder/stream_writer.h"

#include "vcdiff/adler32.h"
#include "vcdiff/decoder.h"
#include "vcdiff/varint.h"

namespace tvl {
namespace {

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

void WriteFileHeader(std::vector<uint8_t>& out, std::string_view app_header) {
  // RFC 3284 section 4.1: 'V' 'C' 'D' with their high bits set, then version 0.
  out.insert(out.end(), {0xD6, 0xC3, 0xC4, 0x00});
  out.push_back(static_cast<uint8_t>(kHeaderAppHeader));
  AppendVarint(out, app_header.size());
  out.insert(out.end(), app_header.begin(), app_header.end());
}

void WriteWindow(std::vector<uint8_t>& out, uint64_t source_length, std::span<const uint8_t> target,
                 const InstructionEmitter& emitter) {
  const uint64_t data = emitter.data.size();
  const uint64_t instructions = emitter.instructions.size();
  const uint64_t addresses = emitter.addresses.size();
  // Everything after the length field itself (RFC 3284 section 4.3), the checksum included.
  const uint64_t encoding_length = VarintSize(target.size()) + 1 + VarintSize(data) +
                                   VarintSize(instructions) + VarintSize(addresses) + 4 + data +
                                   instructions + addresses;
  const uint32_t checksum = Adler32(kAdler32Initial, target.data(), target.size());

  out.push_back(static_cast<uint8_t>(kWindowSource | kWindowChecksum));
  AppendVarint(out, source_length);
  AppendVarint(out, 0);  // the segment starts at the source's first byte
  AppendVarint(out, encoding_length);
  AppendVarint(out, target.size());
  out.push_back(0);  // delta indicator: no section is compressed
  AppendVarint(out, data);
  AppendVarint(out, instructions);
  AppendVarint(out, addresses);
  out.insert(out.end(), {static_cast<uint8_t>(checksum >> 24), static_cast<uint8_t>(checksum >> 16),
                         static_cast<uint8_t>(checksum >> 8), static_cast<uint8_t>(checksum)});
  Append(out, emitter.data);
  Append(out, emitter.instructions);
  Append(out, emitter.addresses);
}

}  // namespace tvl
