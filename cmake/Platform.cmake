# One switch for the platform-specific halves of the small platform layer.
if(WIN32)
  set(TVL_WIN32 ON)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  # Every .exe runs alone: no libstdc++/libgcc/winpthread DLLs beside it.
  add_link_options(-static -static-libgcc -static-libstdc++)
else()
  set(TVL_WIN32 OFF)
endif()
