#include <cstdio>
#include <map>
#include <set>
#include <system_error>

#include "catalogue/catalogue.h"
#include "catalogue/identify.h"
#include "catalogue/routes.h"
#include "catalogue/sha1.h"
#include "cli/commands.h"
#include "cli/patch_maker.h"
#include "patches/patch_names.h"
#include "platform/file_ops.h"
#include "zip/zip_writer.h"

namespace tvl::cli {
namespace {

std::string IdOf(int index) { return Narrow(FormatReleaseId(GetIwad(index))); }

std::string DigestOf(std::span<const uint8_t> bytes) {
  Sha1Context context;
  Sha1Init(&context);
  Sha1Update(&context, bytes.data(), bytes.size());
  uint8_t digest[kSha1DigestSize];
  Sha1Final(&context, digest);
  return FormatDigest(digest);
}

// Finds the catalogue release of every file in the folder (not its subfolders).
std::map<int, Path> FindReleases(const Path& folder, bool* ok) {
  std::map<int, Path> found;
  std::error_code error;
  std::filesystem::directory_iterator it(folder, error), end;
  if (error) {
    PrintError("cannot list " + PathToDisplay(folder) + ": " + error.message());
    *ok = false;
    return found;
  }
  for (; it != end; it.increment(error)) {
    if (error || !it->is_regular_file(error)) continue;
    FileDigest digest = Sha1OfFile(it->path());
    if (!digest.complete) {
      PrintError("cannot read " + PathToDisplay(it->path()) + ": " +
                 DescribeFileError(digest.error));
      continue;
    }
    int index = FindIwadByDigest(FormatDigest(digest.bytes));
    if (index >= 0 && !found.count(index)) found[index] = it->path();
  }
  return found;
}

// The patches made so far, by name, for the pack: written in the order of their names.
using PackPatches = std::map<std::string, std::vector<uint8_t>>;

// Makes, checks and writes one patch to the folder (when given) and keeps it for the pack (when
// one is asked for). Returns false after reporting a failure.
bool WritePatch(int from, int to, const std::vector<uint8_t>& source,
                const std::vector<uint8_t>& target, const Path& output_folder, PackPatches* pack) {
  const std::string name = Narrow(FormatPatchName(GetIwad(from), GetIwad(to)));
  std::vector<uint8_t> patch;
  std::string problem;
  // The patch rebuilds the target exactly, and the target is the catalogue's release.
  if (DigestOf(target) != GetIwad(to).sha1_hex) {
    problem = "the file for " + IdOf(to) + " changed while the store was built";
  } else {
    MakeVerifiedPatch(source, target, IdOf(from) + ".wad", IdOf(to) + ".wad", &patch, &problem);
  }
  FileError error = 0;
  if (problem.empty() && !output_folder.empty() &&
      !WriteWholeFile(output_folder / Path(name + ".vcdiff"), patch, &error)) {
    problem = "cannot write: " + DescribeFileError(error);
  }
  if (!problem.empty()) {
    PrintError(name + ": " + problem);
    return false;
  }
  std::printf("wrote\t%s\t%zu\n", name.c_str(), patch.size());
  std::fflush(stdout);
  if (pack) (*pack)[name] = std::move(patch);
  return true;
}

// Writes the pack: every patch deflated, in the order of their names, with no time stamps, so
// the same releases give the same pack byte for byte.
bool WritePack(const PackPatches& patches, const Path& file, const std::string& shown) {
  ZipWriter writer;
  for (const auto& [name, patch] : patches) {
    if (!writer.Add(name + ".vcdiff", patch)) {
      PrintError(shown + ": the patches don't fit in one zip archive");
      return false;
    }
  }
  const std::vector<uint8_t> pack = writer.Finish();
  FileError error = 0;
  if (!WriteWholeFile(file, pack, &error)) {
    PrintError("cannot write " + shown + ": " + DescribeFileError(error));
    return false;
  }
  std::printf("packed\t%s\t%zu\t%zu\n", shown.c_str(), patches.size(), pack.size());
  return true;
}

int RunBuildStore(const Args& args) {
  ParsedArgs parsed = ParseArgs(args, {"--releases", "--output", "--pack"});
  if (!parsed.error.empty()) return UsageError(kBuildStoreCommand, parsed.error);
  const std::string* releases_arg = parsed.Find("--releases");
  const std::string* output_arg = parsed.Find("--output");
  const std::string* pack_arg = parsed.Find("--pack");
  if (!releases_arg || (!output_arg && !pack_arg) || !parsed.positional.empty()) {
    return UsageError(kBuildStoreCommand, "needs --releases DIR and --output DIR or --pack FILE");
  }
  const Path output_folder = output_arg ? PathFromArg(*output_arg) : Path();
  std::error_code dir_error;
  if (output_arg) std::filesystem::create_directories(output_folder, dir_error);
  if (dir_error) {
    PrintError("cannot create " + *output_arg + ": " + dir_error.message());
    return kExitFailure;
  }
  PackPatches pack;

  bool ok = true;
  std::map<int, Path> releases = FindReleases(PathFromArg(*releases_arg), &ok);
  if (!ok) return kExitFailure;

  std::set<std::u16string> written;
  for (int base = 0; base < kIwadCount; ++base) {
    if (!(GetIwad(base).flags & kIwadBase) || !releases.count(base)) continue;
    std::vector<uint8_t> base_bytes;
    FileError error = 0;
    if (!ReadWholeFile(releases[base], &base_bytes, &error)) {
      PrintError("cannot read " + PathToDisplay(releases[base]) + ": " + DescribeFileError(error));
      ok = false;
      continue;
    }
    for (int other = 0; other < kIwadCount; ++other) {
      const IwadRecord& entry = GetIwad(other);
      if (other == base || std::u16string_view(entry.game_id) != GetIwad(base).game_id ||
          !releases.count(other)) {
        continue;
      }
      std::vector<uint8_t> other_bytes;
      if (!ReadWholeFile(releases[other], &other_bytes, &error)) {
        PrintError("cannot read " + PathToDisplay(releases[other]) + ": " +
                   DescribeFileError(error));
        ok = false;
        continue;
      }
      for (auto [from, to] : {std::pair{base, other}, std::pair{other, base}}) {
        const std::vector<uint8_t>& source = from == base ? base_bytes : other_bytes;
        const std::vector<uint8_t>& target = from == base ? other_bytes : base_bytes;
        if (WritePatch(from, to, source, target, output_folder, pack_arg ? &pack : nullptr)) {
          written.insert(FormatPatchName(GetIwad(from), GetIwad(to)));
        } else {
          ok = false;
        }
      }
    }
  }

  // Every name the store lacks, with the release files that would make it.
  for (const char16_t* name : kPatchNames) {
    if (written.count(name)) continue;
    std::string absent;
    for (int i = 0; i < kIwadCount; ++i) {
      const IwadRecord& entry = GetIwad(i);
      if (entry.flags & kIwadNoPatch) continue;
      int base = FindBaseIwad(entry.game_id);
      if (i == base) continue;
      const std::u16string up = FormatPatchName(entry, GetIwad(base));
      const std::u16string down = FormatPatchName(GetIwad(base), entry);
      if (up != name && down != name) continue;
      for (int needed : {base, i}) {
        if (releases.count(needed)) continue;
        if (!absent.empty()) absent += ", ";
        absent += IdOf(needed) + (needed == base ? " (base)" : "");
      }
    }
    std::printf("missing\t%s\t%s\n", Narrow(name).c_str(),
                absent.empty() ? "not made (see the errors above)"
                               : ("release file absent: " + absent).c_str());
  }
  if (pack_arg && !WritePack(pack, PathFromArg(*pack_arg), *pack_arg)) ok = false;
  std::printf("%zu of %zu patches written to %s\n", written.size(), kPatchCount,
              output_arg && pack_arg ? (*output_arg + " and " + *pack_arg).c_str()
                                     : (output_arg ? *output_arg : *pack_arg).c_str());
  return ok ? kExitOk : kExitFailure;
}

}  // namespace

const Command kBuildStoreCommand = {
    "build-store", "make the built-in patches from a folder of release files",
    "usage: tarvelline-cli build-store --releases DIR (--output DIR | --pack FILE)...\n"
    "\n"
    "Identifies every file in the releases folder. For each game whose base release is there,\n"
    "makes the patches between the base and every other release present, named as the\n"
    "program looks them up (<name>.vcdiff), each checked by decoding it and comparing the\n"
    "result's SHA-1 with the catalogue. Then lists the built-in patch names still missing\n"
    "and which release files they need:\n"
    "  wrote<TAB>NAME<TAB>BYTES\n"
    "  packed<TAB>FILE<TAB>PATCHES<TAB>BYTES\n"
    "  missing<TAB>NAME<TAB>REASON\n"
    "\n"
    "  --output DIR  write each patch to DIR/<name>.vcdiff\n"
    "  --pack FILE   write them all as one patch pack, a zip archive to share: deflated, in\n"
    "                the order of their names and without time stamps, so the same releases\n"
    "                give the same pack byte for byte\n",
    RunBuildStore};

}  // namespace tvl::cli
