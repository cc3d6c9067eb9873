// libFuzzer target: the page's C interface (web/core/web_api.cpp), built natively, driven by a
// fuzz-chosen sequence of the calls the worker makes, on files the input writes: an IWAD, an
// archive, and patches in a folder under the names the routes ask for.
//
// Besides the sanitizers' checks: every answer that is JSON parses as JSON; a fed digest is the
// SHA-1 of exactly the bytes fed; an unpacked entry never takes more than it was given or than
// its declared size, and passes only with its declared size and CRC-32; a conversion of
// arbitrary bytes never reports a converted release, and leaves every file as it was, with no
// temporary file behind (it was refused or failed, and the input may be its own output).
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/sha1.h"
#include "zip/crc32.h"

// The page's exports, and its main, renamed for this build (see CMakeLists.txt).
extern "C" {
const char* tvl_version();
const char* tvl_catalogue();
uint8_t* tvl_digest_begin(int piece_size);
void tvl_digest_update(int count);
const char* tvl_identify_fed(const char* path, int failed);
const char* tvl_zip_entries(const char* path, const char* archive);
uint8_t* tvl_unpack_begin(int piece_size, double size, double crc32, int hash);
int tvl_unpack_update(int count);
const char* tvl_unpack_end(const char* archive, const char* entry, int end);
const char* tvl_targets(int source, const char* patch_folder);
const char* tvl_first_missing(int source, int target, const char* patch_folder);
const char* tvl_convert(const char* input, int source, int target, const char* output,
                        const char* temp_folder, const char* patch_folder, const char* site_folder);
void tvl_site_patches(const char* names);
}
int tvl_web_main();

namespace fs = std::filesystem;

namespace {

FuzzedDataProvider* Input = nullptr;  // the running input, for the progress import

// JSON as RFC 8259 has it, without checking that strings are UTF-8.
struct JsonChecker {
  const char* at;
  int depth = 0;

  void Space() {
    while (*at == ' ' || *at == '\t' || *at == '\n' || *at == '\r') ++at;
  }
  bool Literal(const char* word) {
    const size_t length = std::strlen(word);
    if (std::strncmp(at, word, length) != 0) return false;
    at += length;
    return true;
  }
  bool Digits() {
    if (*at < '0' || *at > '9') return false;
    while (*at >= '0' && *at <= '9') ++at;
    return true;
  }
  bool Number() {
    if (*at == '-') ++at;
    if (*at == '0') {
      ++at;
    } else if (!Digits()) {
      return false;
    }
    if (*at == '.' && (++at, !Digits())) return false;
    if (*at == 'e' || *at == 'E') {
      ++at;
      if (*at == '+' || *at == '-') ++at;
      if (!Digits()) return false;
    }
    return true;
  }
  bool String() {
    if (*at++ != '"') return false;
    for (;;) {
      const unsigned char c = static_cast<unsigned char>(*at++);
      if (c == '"') return true;
      if (c < 0x20) return false;  // the end of the text included
      if (c != '\\') continue;
      const char escaped = *at++;
      if (escaped == 'u') {
        for (int i = 0; i < 4; ++i, ++at) {
          if (!std::isxdigit(static_cast<unsigned char>(*at))) return false;
        }
      } else if (!std::strchr("\"\\/bfnrt", escaped) || escaped == '\0') {
        return false;
      }
    }
  }
  bool Value() {
    if (++depth > 64) return false;
    Space();
    bool good = false;
    if (*at == '{' || *at == '[') {
      const char close = *at == '{' ? '}' : ']';
      const bool object = *at++ == '{';
      Space();
      good = *at == close;
      while (!good) {
        if (object) {
          Space();
          if (!String()) break;
          Space();
          if (*at++ != ':') break;
        }
        if (!Value()) break;
        Space();
        if (*at == close) {
          good = true;
        } else if (*at++ != ',') {
          break;
        }
      }
      if (good) ++at;
    } else if (*at == '"') {
      good = String();
    } else {
      good = Literal("true") || Literal("false") || Literal("null") || Number();
    }
    --depth;
    return good;
  }
};

void CheckJson(const char* text) {
  if (text == nullptr) std::abort();
  JsonChecker checker{text};
  if (!checker.Value()) std::abort();
  checker.Space();
  if (*checker.at != '\0') std::abort();
}

// The value of a top-level string field, or "" when there is none.
std::string StringField(const std::string& json, const std::string& name) {
  const std::string key = "\"" + name + "\":\"";
  const size_t start = json.find(key);
  if (start == std::string::npos) return "";
  const size_t end = json.find('"', start + key.size());
  return json.substr(start + key.size(), end - start - key.size());
}

std::string Sha1Hex(const std::vector<uint8_t>& bytes) {
  tvl::Sha1Context context;
  tvl::Sha1Init(&context);
  tvl::Sha1Update(&context, bytes.data(), bytes.size());
  uint8_t digest[tvl::kSha1DigestSize];
  tvl::Sha1Final(&context, digest);
  return tvl::FormatDigest(digest);
}

// Every file under `root` with its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().string()] = std::string(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The folder every input works in, emptied before each one: in memory where the system has it.
// Its name is kept in plain bytes, which are still there when the exit handler removes it.
char ScratchPath[512];

void RemoveScratch() {
  std::error_code ignored;
  fs::remove_all(ScratchPath, ignored);
}

const fs::path& Scratch() {
  static const fs::path root = [] {
    std::string pattern =
        (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()) /
        "tvl_web_api_fuzzer.XXXXXX";
    if (pattern.size() >= sizeof ScratchPath || mkdtemp(pattern.data()) == nullptr) std::abort();
    std::memcpy(ScratchPath, pattern.c_str(), pattern.size() + 1);
    std::atexit(RemoveScratch);
    return fs::path(pattern);
  }();
  return root;
}

struct Files {
  fs::path input, archive, patches, temp, output;
};

std::string PickPath(FuzzedDataProvider& in, const Files& files) {
  switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0:
      return files.input.string();
    case 1:
      return files.archive.string();
    case 2:
      return (Scratch() / "missing.wad").string();
    case 3:
      return files.patches.string();  // a folder
    default:
      return files.output.string();
  }
}

// Where patches come from: none, the folder, the archive as a patch pack, or nowhere.
std::string PickPatchFolder(FuzzedDataProvider& in, const Files& files) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return "";
    case 1:
      return files.patches.string();
    case 2:
      return files.archive.string();
    default:
      return (Scratch() / "no_such_folder").string();
  }
}

int PickRelease(FuzzedDataProvider& in) {
  return in.ConsumeIntegralInRange(-2, tvl::kIwadCount + 1);
}

// Bytes handed to the core in its own buffer, up to its size; what was copied in.
std::vector<uint8_t> FillPiece(FuzzedDataProvider& in, uint8_t* buffer, size_t capacity,
                               int count) {
  const size_t size = count > 0 ? std::min(static_cast<size_t>(count), capacity) : 0;
  std::vector<uint8_t> bytes = in.ConsumeBytes<uint8_t>(size);
  bytes.resize(size);  // the rest of the piece is zeros, as the buffer's may not be
  if (size != 0) std::memcpy(buffer, bytes.data(), size);
  return bytes;
}

// A digest fed piece by piece, then identified: the SHA-1 of exactly the bytes fed.
void FeedAndIdentify(FuzzedDataProvider& in, const Files& files) {
  const int piece_size = in.ConsumeIntegralInRange(-1, 70000);
  const size_t capacity = piece_size > 0 ? static_cast<size_t>(piece_size) : 1;
  uint8_t* buffer = tvl_digest_begin(piece_size);
  std::vector<uint8_t> fed;
  for (int pieces = in.ConsumeIntegralInRange(0, 4); pieces > 0; --pieces) {
    const int count = in.ConsumeIntegralInRange(-2, piece_size + 2);
    const std::vector<uint8_t> piece = FillPiece(in, buffer, capacity, count);
    fed.insert(fed.end(), piece.begin(), piece.end());
    tvl_digest_update(count);
  }
  const bool failed = in.ConsumeBool();
  const std::string path = PickPath(in, files);
  const std::string answer = tvl_identify_fed(path.c_str(), failed);
  CheckJson(answer.c_str());
  if (!failed && StringField(answer, "sha1") != Sha1Hex(fed)) std::abort();
}

// An entry fed as the worker unpacks it, checked against its declared size and CRC-32.
void Unpack(FuzzedDataProvider& in, const Files& files) {
  const int piece_size = in.ConsumeIntegralInRange(-1, 70000);
  const size_t capacity = piece_size > 0 ? static_cast<size_t>(piece_size) : 1;
  // Sizes as the worker has them, numbers from tvl_zip_entries: whole, and below 2^64.
  const uint64_t declared = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint64_t>(0, 300)
                                             : in.ConsumeIntegral<uint64_t>() >> 11;
  const uint32_t crc = in.ConsumeIntegral<uint32_t>();
  const bool hash = in.ConsumeBool();
  uint8_t* buffer =
      tvl_unpack_begin(piece_size, static_cast<double>(declared), static_cast<double>(crc), hash);
  std::vector<uint8_t> taken;
  for (int pieces = in.ConsumeIntegralInRange(0, 4); pieces > 0; --pieces) {
    const int count = in.ConsumeIntegralInRange(-2, piece_size + 2);
    const std::vector<uint8_t> piece = FillPiece(in, buffer, capacity, count);
    const int took = tvl_unpack_update(count);
    if (took < 0 || static_cast<size_t>(took) > piece.size()) std::abort();
    taken.insert(taken.end(), piece.begin(), piece.begin() + took);
    if (taken.size() > declared) std::abort();
  }
  const int end = in.ConsumeIntegralInRange(0, 3);
  const std::string archive = in.ConsumeRandomLengthString(64);
  const std::string entry = in.ConsumeRandomLengthString(64);
  const std::string answer = tvl_unpack_end(archive.c_str(), entry.c_str(), end);
  CheckJson(answer.c_str());
  const bool whole = taken.size() == declared &&
                     tvl::Crc32(0, taken.data(), taken.size()) == static_cast<uint32_t>(crc);
  const bool passed = answer == "{\"ok\":true}";
  if (passed && (end == 1 || end == 2 || !whole)) std::abort();
  if (in.ConsumeBool()) {
    const std::string path = PickPath(in, files);
    const std::string identified = tvl_identify_fed(path.c_str(), 0);
    CheckJson(identified.c_str());
    if (hash && passed && StringField(identified, "sha1") != Sha1Hex(taken)) std::abort();
    if (!passed && identified.find("\"unreadable\"") == std::string::npos) std::abort();
  }
}

void Convert(FuzzedDataProvider& in, const Files& files) {
  const int source = PickRelease(in);
  const int target = PickRelease(in);
  const std::string input = PickPath(in, files);
  std::string output;
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
      output = files.output.string();
      break;
    case 1:
      output = input;  // in place
      break;
    default:
      output = (Scratch() / "no_such_folder" / "out.wad").string();
  }
  const std::string temp = in.ConsumeBool() ? files.temp.string() : Scratch().string();
  const std::string patches = PickPatchFolder(in, files);
  // The site's patches: any names, read from any of the folders.
  tvl_site_patches(in.ConsumeRandomLengthString(256).c_str());
  const std::string site = PickPatchFolder(in, files);
  const std::map<std::string, std::string> before = Snapshot(Scratch());
  const std::string answer = tvl_convert(input.c_str(), source, target, output.c_str(),
                                         temp.c_str(), patches.c_str(), site.c_str());
  CheckJson(answer.c_str());
  if (StringField(answer, "status") == "converted") std::abort();  // no SHA-1 of a release
  if (Snapshot(Scratch()) != before) std::abort();
}

}  // namespace

// The worker's progress hook: shown the bytes so far, it says whether to go on.
extern "C" int tvl_web_progress(double written, double expected) {
  if (!(written >= 0) || !(expected >= 0)) std::abort();
  return Input->remaining_bytes() == 0 || Input->ConsumeIntegral<uint8_t>() != 0;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tvl_web_main();
  CheckJson(tvl_catalogue());
  if (*tvl_version() == '\0') std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  Input = &in;
  const fs::path& root = Scratch();
  for (const fs::directory_entry& entry : fs::directory_iterator(root)) fs::remove_all(entry);
  Files files{root / "input.wad", root / "archive.zip", root / "patches", root / "temp",
              root / "output.wad"};
  fs::create_directory(files.patches);
  fs::create_directory(files.temp);

  for (int call = 0; call < 12 && in.remaining_bytes() != 0; ++call) {
    switch (in.ConsumeIntegralInRange(0, 8)) {
      case 0:
        WriteFile(files.input, in.ConsumeRandomLengthString(1 << 16));
        break;
      case 1:
        WriteFile(files.archive, in.ConsumeRandomLengthString(1 << 16));
        break;
      case 2: {  // a patch for the first step of a route, under the name it is looked up by
        const int source = PickRelease(in);
        const std::string name = tvl_first_missing(source, PickRelease(in), "");
        const std::string bytes = in.ConsumeRandomLengthString(1 << 16);
        if (!name.empty()) WriteFile(files.patches / (name + ".vcdiff"), bytes);
        break;
      }
      case 3:
        FeedAndIdentify(in, files);
        break;
      case 4: {
        const std::string path = PickPath(in, files);
        const std::string archive = in.ConsumeRandomLengthString(64);
        CheckJson(tvl_zip_entries(path.c_str(), archive.c_str()));
        break;
      }
      case 5:
        Unpack(in, files);
        break;
      case 6: {
        const int source = PickRelease(in);
        CheckJson(tvl_targets(source, PickPatchFolder(in, files).c_str()));
        break;
      }
      case 7: {
        const int source = PickRelease(in);
        const int target = PickRelease(in);
        if (tvl_first_missing(source, target, PickPatchFolder(in, files).c_str()) == nullptr) {
          std::abort();
        }
        break;
      }
      default:
        Convert(in, files);
    }
  }
  Input = nullptr;
  return 0;
}
