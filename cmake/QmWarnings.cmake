# Warnings are errors in our own code; applied per target, never globally.
add_library(qm_warnings INTERFACE)
target_compile_options(qm_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)
add_library(qm::warnings ALIAS qm_warnings)
