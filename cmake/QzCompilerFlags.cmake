# Warnings and sanitizers shared by every target of the project.
# Targets opt in with qz_set_target_options(<target>).

add_library(qz_options INTERFACE)
target_compile_options(qz_options INTERFACE -Wall -Wextra -Wno-unused-parameter
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>
  # g++ 12 at -O3 reports impossible overlaps inside std::string concatenation
  # (-Wrestrict false positives in libstdc++'s char_traits); the warning says
  # nothing about our code there.
  $<$<AND:$<CXX_COMPILER_ID:GNU>,$<VERSION_LESS:$<CXX_COMPILER_VERSION>,13>>:-Wno-restrict>)
if(QZ_WERROR)
  target_compile_options(qz_options INTERFACE -Werror)
endif()

if(QZ_SANITIZE)
  string(REPLACE ";" "," _qz_san "${QZ_SANITIZE}")
  add_compile_options(-fsanitize=${_qz_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_qz_san})
endif()

# The fuzz build instruments every target for libFuzzer's coverage feedback,
# the libraries above all: without it the fuzzer sees only the edges of the
# target's own file and mutates blind.
if(QZ_BUILD_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

function(qz_set_target_options target)
  target_link_libraries(${target} PRIVATE qz_options)
endfunction()
