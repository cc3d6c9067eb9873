// Where the running program lives, so that it can find files shipped beside it.
#pragma once

#include "platform/file.h"

namespace tvl {

// The folder holding the running program's executable file; empty when the system won't say.
Path ProgramFolder();

}  // namespace tvl
