// Stands in for Emscripten's header when the page's core is built natively, for the fuzz target:
// an export is a plain C function, and a JavaScript import is a C function the target defines.
#pragma once

#define EMSCRIPTEN_KEEPALIVE
#define EM_JS(ret, name, params, ...) extern "C" ret name params
