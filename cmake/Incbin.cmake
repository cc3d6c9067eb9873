# Embedding files into a program without turning them into C arrays: a generated source
# assembles each file with .incbin, which GNU as takes for ELF and PE alike, so even tens of
# megabytes build in moments.
#
# tvl_incbin(<asm_var> <decls_var> <symbol> <file>) appends to <asm_var> the lines of a file-scope
# __asm__ block that place <file> between the labels <symbol> and <symbol>_end, and to
# <decls_var> C++ declarations of `const uint8_t <symbol>[]` and `<symbol>_end[]`.
# tvl_incbin_block(<out_var> <asm>) makes the source that holds them.
function(tvl_incbin asm_var decls_var symbol file)
  if(file MATCHES "[\n\r]")
    message(FATAL_ERROR "cannot embed a file whose path holds a line break: ${file}")
  endif()
  # Escaped once for the assembler's string, once more for the C++ literal around it.
  string(REPLACE "\\" "\\\\" quoted "${file}")
  string(REPLACE "\"" "\\\"" quoted "${quoted}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  string(REPLACE "\"" "\\\"" quoted "${quoted}")
  string(CONCAT text "${${asm_var}}    \".globl ${symbol}, ${symbol}_end\\n\"\n    \"${symbol}:\\n\"\n    \".incbin \\\"${quoted}\\\"\\n\"\n"
                    "    \"${symbol}_end:\\n\"\n    TVL_INCBIN_SIZE(\"${symbol}\")\n")
  set(${asm_var} "${text}" PARENT_SCOPE)
  # The labels are named exactly, so no C symbol prefix (the leading underscore of 32-bit
  # Windows) comes into play.
  string(CONCAT text "${${decls_var}}extern const uint8_t ${symbol}[] __asm__(\"${symbol}\");\n"
                    "extern const uint8_t ${symbol}_end[] __asm__(\"${symbol}_end\");\n")
  set(${decls_var} "${text}" PARENT_SCOPE)
endfunction()

# The whole text of a source that holds nothing but the assembled files: the section is switched
# without push and pop (which the PE assembler lacks), so nothing else may share the file.
function(tvl_incbin_block out_var asm)
  string(CONCAT text
      "// Generated: embedded files.\n"
      "#if defined(_WIN32)\n#define TVL_INCBIN_SECTION \".section .rdata,\\\"dr\\\"\"\n"
      "#elif defined(__EMSCRIPTEN__)\n#define TVL_INCBIN_SECTION \".section .rodata.tvl_incbin,\\\"\\\",@\"\n"
      "#else\n#define TVL_INCBIN_SECTION \".section .rodata\"\n#endif\n"
      "// WebAssembly objects need the size of every data symbol.\n"
      "#if defined(__EMSCRIPTEN__)\n"
      "#define TVL_INCBIN_SIZE(s) \".size \" s \", \" s \"_end - \" s \"\\n.size \" s \"_end, 0\\n\"\n"
      "#else\n#define TVL_INCBIN_SIZE(s) \"\"\n#endif\n\n"
      "__asm__(\n    TVL_INCBIN_SECTION \"\\n\"\n    \".balign 16\\n\"\n${asm});\n")
  set(${out_var} "${text}" PARENT_SCOPE)
endfunction()

# Writes <file> with <content>, touching it only when the content changes.
function(tvl_write_if_changed file content)
  file(WRITE "${file}.new" "${content}")
  configure_file("${file}.new" "${file}" COPYONLY)
  file(REMOVE "${file}.new")
endfunction()
