// Which releases a file can become, and which patches carry a conversion out.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"

namespace tvl {

// One line of the target list: a release's title with its catalogue index as item data, or the
// placeholder text with no item data.
struct TargetItem {
  std::u16string text;
  std::optional<int> item_data;
};

struct TargetList {
  std::vector<TargetItem> items;
  bool enabled = false;  // true when at least one offered release can be patched to
};

inline constexpr char16_t kNoOtherVersionsText[] = u"No other versions of this IWAD are available";

// The other releases of `current`'s game, in catalogue order.
TargetList BuildTargetList(const IwadRecord& current);

// Whether the patch command may run for this source and target.
bool CanPatch(const IwadRecord& source, const IwadRecord& target);

// The catalogue index of the game's base release, or -1 when the game has none.
int FindBaseIwad(std::u16string_view game_id);

// "SOURCEGAME_SOURCEVERSION_to_TARGETGAME_TARGETVERSION", the key of the patch directory.
std::u16string FormatPatchName(const IwadRecord& source, const IwadRecord& target);

// The patches that turn `source` into `target`, in order: one when either is the game's base,
// otherwise two through the base. Empty when either carries kIwadNoPatch, when they are the same
// release or of different games.
std::vector<std::u16string> FindPatchRoute(const IwadRecord& source, const IwadRecord& target);

}  // namespace tvl
