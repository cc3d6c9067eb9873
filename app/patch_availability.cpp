#include "app/patch_availability.h"

#include <vector>

#include "catalogue/routes.h"
#include "patches/patch_folder.h"
#include "patching/convert.h"
#include "platform/wide_text.h"

namespace tvl {
namespace {

Path& FolderForTests() {
  static Path folder;
  return folder;
}

std::wstring Title(int index) { return AsWide(GetIwad(index).title); }

}  // namespace

Path RunTimePatchFolder() {
  return FolderForTests().empty() ? PatchFolderBesideProgram() : FolderForTests();
}

void SetRunTimePatchFolder(const Path& folder) { FolderForTests() = folder; }

std::u16string MissingPatchOf(int source, int target) {
  ConvertRequest request;
  request.source = source;
  request.target = target;
  request.patch_folder = RunTimePatchFolder();
  return FirstMissingPatch(request);
}

std::wstring MissingPatchSentence(int source, int target, const std::u16string& name) {
  const std::wstring file = std::wstring(name.begin(), name.end()) + L".vcdiff";
  // A route through the base names a patch the user never chose: say why it is needed.
  const std::vector<std::u16string> route = FindPatchRoute(GetIwad(source), GetIwad(target));
  const int base = FindBaseIwad(GetIwad(source).game_id);
  std::wstring text;
  if (route.size() == 2 && base >= 0) {
    const bool first = route[0] == name;
    text = L"Converting " + Title(source) + L" to " + Title(target) + L" goes through " +
           Title(base) + L", and the patch from " + Title(first ? source : base) + L" to " +
           Title(first ? base : target) + L" (" + file + L") is missing";
  } else {
    text = L"The patch from " + Title(source) + L" to " + Title(target) + L" (" + file +
           L") is missing";
  }
  return text +
         L": patches come from the \"patches\" folder beside tarvelline.exe, or from a patch pack "
         L"(a .zip of .vcdiff files) put there, and one can be made with "
         L"tarvelline-cli build-store by someone who owns both releases.";
}

}  // namespace tvl
