# Our own targets build with full warnings; third-party code keeps its own.
function(setupsfx_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
