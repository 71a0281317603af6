# Warnings are errors for every target of this project.
function(keydepot_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Werror
    -Wformat=2 -Wcast-align -Wmissing-declarations -Wundef)
endfunction()
