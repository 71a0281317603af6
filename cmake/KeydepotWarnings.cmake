# The warnings of every target of this project; errors with KEYDEPOT_WERROR
# (the presets and CI), so that a newer compiler's new warnings do not stop
# others who build from source.
function(keydepot_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic $<$<BOOL:${KEYDEPOT_WERROR}>:-Werror>
    -Wformat=2 -Wcast-align -Wmissing-declarations -Wundef)
endfunction()
