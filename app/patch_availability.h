// Whether the patches of a conversion are at hand (built in, or in the "patches" folder beside
// the program, loose or in a patch pack there), and what the user is told when one is not.
#pragma once

#include <string>

#include "platform/file.h"

namespace tvl {

// Where patches beyond the built-in ones come from: the "patches" folder beside the program,
// unless a test has put another folder in its place.
Path RunTimePatchFolder();
// For tests: `folder` stands in for the one beside the program; empty gives that one back.
void SetRunTimePatchFolder(const Path& folder);

// The first patch of the conversion from release `source` into release `target` (catalogue
// indices) that is at hand nowhere; empty when all are, or when there is no route. The same
// rule as the command line's targets command and the page.
std::u16string MissingPatchOf(int source, int target);

// One sentence for the missing patch `name` of the conversion from `source` into `target`: which
// patch it is, where patches come from and how one is made.
std::wstring MissingPatchSentence(int source, int target, const std::u16string& name);

}  // namespace tvl
