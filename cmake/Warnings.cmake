# Warnings for our own targets only; third-party code (GoogleTest) keeps its own.
function(tvl_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
