#include "catalogue/routes.h"

namespace tvl {

TargetList BuildTargetList(const IwadRecord& current) {
  TargetList list;
  bool all_no_patch = true;
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& entry = GetIwad(i);
    if (entry.index == current.index) continue;
    if (std::u16string_view(entry.game_id) != current.game_id) continue;
    list.items.push_back({entry.title, i});
    if (!(entry.flags & kIwadNoPatch)) all_no_patch = false;
  }
  if (list.items.empty()) list.items.push_back({kNoOtherVersionsText, std::nullopt});
  list.enabled = !all_no_patch;
  return list;
}

bool CanPatch(const IwadRecord& source, const IwadRecord& target) {
  return !(source.flags & kIwadNoPatch) && !(target.flags & kIwadNoPatch);
}

int FindBaseIwad(std::u16string_view game_id) {
  for (int i = 0; i < kIwadCount; ++i) {
    const IwadRecord& entry = GetIwad(i);
    if (entry.game_id == game_id && (entry.flags & kIwadBase)) return i;
  }
  return -1;
}

std::u16string FormatPatchName(const IwadRecord& source, const IwadRecord& target) {
  std::u16string name(source.game_id);
  name += u'_';
  name += source.version_id;
  name += u"_to_";
  name += target.game_id;
  name += u'_';
  name += target.version_id;
  return name;
}

std::vector<std::u16string> FindPatchRoute(const IwadRecord& source, const IwadRecord& target) {
  if (!CanPatch(source, target) || &source == &target ||
      std::u16string_view(source.game_id) != target.game_id) {
    return {};
  }
  if ((source.flags & kIwadBase) || (target.flags & kIwadBase)) {
    return {FormatPatchName(source, target)};
  }
  int base = FindBaseIwad(source.game_id);
  if (base < 0) return {};
  return {FormatPatchName(source, GetIwad(base)), FormatPatchName(GetIwad(base), target)};
}

}  // namespace tvl
