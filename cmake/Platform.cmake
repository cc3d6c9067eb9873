# The one platform switch: TVL_WIN32 picks the Windows halves and the Windows-only targets.
if(WIN32)
  set(TVL_WIN32 ON)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Every .exe runs alone: no libstdc++/libgcc/winpthread DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # The PE header's time stamp would differ on every link of the same commit.
  add_link_options(-Wl,--no-insert-timestamp)
else()
  set(TVL_WIN32 OFF)
endif()

if(EMSCRIPTEN)
  # The browser has no threads for us: std::thread's constructor throws, and the window writer
  # catches that to write windows itself. WebAssembly's own exception handling makes the catch
  # work, at no cost to code that throws nothing.
  add_compile_options(-fwasm-exceptions)
  add_link_options(-fwasm-exceptions)
endif()
