# Warnings and sanitizers shared by every target of the project.
# Targets opt in with qz_set_target_options(<target>).

add_library(qz_options INTERFACE)
target_compile_options(qz_options INTERFACE -Wall -Wextra -Wno-unused-parameter
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
if(QZ_WERROR)
  target_compile_options(qz_options INTERFACE -Werror)
endif()

if(QZ_SANITIZE)
  string(REPLACE ";" "," _qz_san "${QZ_SANITIZE}")
  add_compile_options(-fsanitize=${_qz_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_qz_san})
endif()

function(qz_set_target_options target)
  target_link_libraries(${target} PRIVATE qz_options)
endfunction()
