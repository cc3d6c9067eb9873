// The page's door into the core: a few C functions the worker calls with paths in the browser's
// file system (see blob_fs.js) and that answer in JSON. All the work is the core's own:
// identification, target lists, routes, the patch folder rules, ConvertRelease, and the reading
// and checking of zip archives (the browser only inflates).
#include <emscripten/emscripten.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "catalogue/wad_inspect.h"
#include "patches/patch_folder.h"
#include "patching/convert.h"
#include "tvl_version.h"
#include "web/core/web_report.h"
#include "web/core/web_zip.h"

namespace {

// Asks the worker's JavaScript whether to go on; it also shows the progress.
EM_JS(int, tvl_web_progress, (double written, double expected),
      { return Module.onProgress ? (Module.onProgress(written, expected) ? 1 : 0) : 1; });

// The answer of the last call, kept until the next one so the worker can read it.
std::string Answer;

const char* Reply(std::string text) {
  Answer = std::move(text);
  return Answer.c_str();
}

// What identification says of a file, from its digest: the release, or why it is none.
const char* IdentifyAnswer(const tvl::FileDigest& digest, const char* path) {
  if (!digest.complete) {
    return Reply("{\"index\":-1,\"unreadable\":" +
                 tvl::JsonString(tvl::DescribeFileError(digest.error)) + "}");
  }
  const std::string sha1 = tvl::FormatDigest(digest.bytes);
  const int index = tvl::FindIwadByDigest(sha1);
  std::string json = "{\"index\":" + std::to_string(index) + ",\"sha1\":\"" + sha1 + "\"";
  if (index < 0) {
    const tvl::WadInspection inspection = tvl::InspectWadFile(path);
    json += ",\"explain\":" + tvl::JsonString(tvl::ExplainWad(inspection)) +
            ",\"note\":" + tvl::JsonString(tvl::UnknownWadNote(inspection));
  }
  return Reply(json + "}");
}

// A digest the worker feeds piece by piece, so it can read the next piece while this one is
// hashed. One at a time: the worker runs its requests in turn. A zip entry the worker unpacks is
// fed the same way and checked as it comes; a damaged one leaves no digest to identify.
struct FedDigest {
  tvl::Sha1Context context;
  std::vector<uint8_t> piece;
  bool hashing = true;
  bool damaged = false;
  tvl::web::UnpackCheck entry;
};
FedDigest Fed;

uint8_t* BeginFeed(int piece_size, bool hashing) {
  Fed.piece.assign(piece_size > 0 ? static_cast<size_t>(piece_size) : 1, 0);
  Fed.hashing = hashing;
  Fed.damaged = false;
  Fed.entry = {};
  tvl::Sha1Init(&Fed.context);
  return Fed.piece.data();
}

void HashFed(size_t count) {
  const size_t total = std::min(count, Fed.piece.size());
  // The browser first runs the hashing code through a quick compiler and swaps in the optimised
  // build only between calls: in short calls the first piece doesn't all run the slow way.
  constexpr size_t kCall = 64 << 10;
  for (size_t at = 0; at < total; at += kCall) {
    tvl::Sha1Update(&Fed.context, Fed.piece.data() + at, std::min(kCall, total - at));
  }
}

tvl::Path FolderOrNone(const char* folder) {
  return folder && *folder ? tvl::Path(folder) : tvl::Path();
}

// The patches beside the page (patches/<name>.vcdiff), which the worker fetches only when a
// conversion needs one, so the core weighs nothing for them. They count as built in: the site's
// own, ahead of the user's.
std::set<std::u16string> SitePatches;

bool OnSite(const std::u16string& name) { return SitePatches.count(name) != 0; }

// Says the site has a patch without reading it, for the routes' checks.
bool SiteHas(const char16_t* name, const uint8_t** data, uint32_t* length) {
  *data = nullptr;
  *length = 0;
  return OnSite(name);
}

// A number from JavaScript as an unsigned integer up to `max`. A listing's size near 2^64 comes
// back rounded past it, and converting that (or NaN, or a negative) would be undefined.
uint64_t WholeNumber(double value, uint64_t max) {
  if (!(value >= 0)) return 0;
  if (value >= static_cast<double>(max)) return max;
  return static_cast<uint64_t>(value);
}

}  // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* tvl_version() { return TVL_VERSION_SHORT; }

EMSCRIPTEN_KEEPALIVE const char* tvl_catalogue() {
  std::string json = "[";
  for (int i = 0; i < tvl::kIwadCount; ++i) {
    if (i > 0) json += ',';
    json += tvl::web::ReleaseJson(tvl::GetIwad(i));
  }
  return Reply(json + "]");
}

// Starts a fed digest; the worker copies each piece of the file into the buffer returned, of
// `piece_size` bytes, and calls tvl_digest_update with its length.
EMSCRIPTEN_KEEPALIVE uint8_t* tvl_digest_begin(int piece_size) {
  return BeginFeed(piece_size, true);
}

EMSCRIPTEN_KEEPALIVE void tvl_digest_update(int count) {
  if (count > 0) HashFed(static_cast<size_t>(count));
}

// Ends the fed digest and answers {"index":N,"sha1":"...","explain":"..."} for the file at `path`,
// with explain only for files the catalogue doesn't know. `failed` says a read of it failed,
// which the browser reports without a reason of its own.
EMSCRIPTEN_KEEPALIVE const char* tvl_identify_fed(const char* path, int failed) {
  tvl::FileDigest digest;
  tvl::Sha1Final(&Fed.context, digest.bytes);
  std::vector<uint8_t>().swap(Fed.piece);
  digest.complete = failed == 0 && !Fed.damaged;
  digest.error = digest.complete ? 0 : EIO;
  return IdentifyAnswer(digest, path);
}

// Answers as tvl_identify_fed for a file the browser hashed itself: `sha1` its 20 bytes of SHA-1,
// or null when a read of it failed.
EMSCRIPTEN_KEEPALIVE const char* tvl_identify_digest(const char* path, const uint8_t* sha1) {
  tvl::FileDigest digest;
  if (sha1) std::copy(sha1, sha1 + tvl::kSha1DigestSize, digest.bytes);
  digest.complete = sha1 != nullptr;
  digest.error = digest.complete ? 0 : EIO;
  return IdentifyAnswer(digest, path);
}

// The entries of the zip archive at `path`, which the user knows as `archive` (see
// ZipEntriesJson): what each is, where its data lies, or why it can't be read.
EMSCRIPTEN_KEEPALIVE const char* tvl_zip_entries(const char* path, const char* archive) {
  return Reply(tvl::web::ZipEntriesJson(path, archive));
}

// Starts feeding an entry the worker unpacks, with the size and CRC-32 its archive declares (as
// tvl_zip_entries gave them); with `hash`, it is hashed too, for tvl_identify_fed once it passed.
// The worker copies each piece into the buffer returned, of `piece_size` bytes.
EMSCRIPTEN_KEEPALIVE uint8_t* tvl_unpack_begin(int piece_size, double size, double crc32,
                                               int hash) {
  uint8_t* piece = BeginFeed(piece_size, hash != 0);
  Fed.entry.declared = WholeNumber(size, UINT64_MAX);
  Fed.entry.expected_crc = static_cast<uint32_t>(WholeNumber(crc32, UINT32_MAX));
  return piece;
}

// Takes the first `count` bytes of the buffer; answers how many belong to the entry. Fewer than
// `count`: the data runs past the declared size, and the worker stops there.
EMSCRIPTEN_KEEPALIVE int tvl_unpack_update(int count) {
  if (count <= 0) return 0;
  const size_t size = std::min(static_cast<size_t>(count), Fed.piece.size());
  const size_t taken = tvl::web::TakeUnpacked(&Fed.entry, Fed.piece.data(), size);
  if (Fed.hashing) HashFed(taken);
  return static_cast<int>(taken);
}

// Ends the feeding (`end`: 0 complete, 1 a read of the archive failed, 2 the browser couldn't
// inflate the data) and answers {"ok":true}, or {"error": sentence} naming `archive` and `entry`.
EMSCRIPTEN_KEEPALIVE const char* tvl_unpack_end(const char* archive, const char* entry, int end) {
  using tvl::web::UnpackEnd;
  const UnpackEnd how = end == 1   ? UnpackEnd::kReadFailed
                        : end == 2 ? UnpackEnd::kInflateFailed
                                   : UnpackEnd::kComplete;
  const tvl::ZipReport report = tvl::web::FinishUnpacked(Fed.entry, entry, how);
  std::vector<uint8_t>().swap(Fed.piece);
  Fed.damaged = report.status != tvl::ZipStatus::kOk;
  if (!Fed.damaged) return Reply("{\"ok\":true}");
  return Reply("{\"error\":" + tvl::JsonString(tvl::DescribeZipReport(report, archive)) + "}");
}

// The names of the patches beside the page, one a line, from the site's patches/index.json.
EMSCRIPTEN_KEEPALIVE void tvl_site_patches(const char* names) {
  SitePatches.clear();
  std::u16string name;
  for (const char* at = names; at && *at; ++at) {
    if (*at == '\n') {
      if (!name.empty()) SitePatches.insert(name);
      name.clear();
    } else {
      name += static_cast<char16_t>(static_cast<unsigned char>(*at));  // ASCII names
    }
  }
  if (!name.empty()) SitePatches.insert(name);
}

// The releases `source` can become, each with its route and whether every patch of it is at
// hand (beside the page, or in `patch_folder`).
EMSCRIPTEN_KEEPALIVE const char* tvl_targets(int source, const char* patch_folder) {
  if (source < 0 || source >= tvl::kIwadCount) return Reply("{\"enabled\":false,\"items\":[]}");
  const tvl::IwadRecord& from = tvl::GetIwad(source);
  const tvl::TargetList list = tvl::BuildTargetList(from);
  const tvl::Path folder = FolderOrNone(patch_folder);
  std::string items;
  for (const tvl::TargetItem& item : list.items) {
    if (!item.item_data) continue;  // the placeholder line of a single-release game
    const tvl::IwadRecord& into = tvl::GetIwad(*item.item_data);
    const std::vector<std::u16string> route = tvl::FindPatchRoute(from, into);
    if (!items.empty()) items += ',';
    items += tvl::web::TargetJson(
        into, route, tvl::CanPatch(from, into), [&](const std::u16string& name) {
          return OnSite(name) || tvl::LocatePatch(name, folder) != tvl::PatchOrigin::kMissing;
        });
  }
  return Reply(std::string("{\"enabled\":") + (list.enabled ? "true" : "false") + ",\"items\":[" +
               items + "]}");
}

// The first patch of the route that neither the build nor the folder has, or "".
EMSCRIPTEN_KEEPALIVE const char* tvl_first_missing(int source, int target,
                                                   const char* patch_folder) {
  tvl::ConvertRequest request;
  request.source = source;
  request.target = target;
  request.patch_folder = FolderOrNone(patch_folder);
  request.find_patch = SiteHas;
  return Reply(tvl::Narrow(tvl::FirstMissingPatch(request)));
}

// Runs the conversion as the other programs do; the answer says how it ended. The site's patches
// of the route are read from `site_folder`, where the worker put what it fetched.
EMSCRIPTEN_KEEPALIVE const char* tvl_convert(const char* input, int source, int target,
                                             const char* output, const char* temp_folder,
                                             const char* patch_folder, const char* site_folder) {
  std::map<std::u16string, std::vector<uint8_t>> fetched;
  tvl::ConvertRequest request;
  request.find_patch = [&](const char16_t* name, const uint8_t** data, uint32_t* length) {
    if (!OnSite(name) || !site_folder || !*site_folder) return false;
    std::vector<uint8_t>& bytes = fetched[name];
    if (tvl::ReadFolderPatch(tvl::FolderPatchPath(site_folder, name), &bytes) !=
        tvl::FolderPatchStatus::kRead) {
      return false;
    }
    *data = bytes.data();
    *length = static_cast<uint32_t>(bytes.size());
    return true;
  };
  request.input = input;
  request.source = source;
  request.target = target;
  request.output = output;
  request.temp_folder = temp_folder;
  request.patch_folder = FolderOrNone(patch_folder);
  request.progress = [](uint64_t written, uint64_t expected) {
    return tvl_web_progress(static_cast<double>(written), static_cast<double>(expected)) != 0;
  };
  // The result lives in the browser's storage, which the core itself holds: hashing it as it is
  // decoded spares reading it all back.
  request.verify_as_decoded = true;
  const tvl::ConvertReport report = tvl::ConvertRelease(request);
  return Reply(tvl::web::ReportJson(report, request));
}

}  // extern "C"

int main() {
  // Emscripten starts with every permission bit masked, so files the core makes (its temporary
  // files) would be unwritable even to itself; take the mask a login shell would.
  umask(022);
  tvl::InitIwadCatalogue();
  return 0;
}
