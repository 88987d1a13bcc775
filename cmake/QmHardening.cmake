# The hardening Debian gives its own packages (dpkg-buildflags): checked buffer functions, stack
# protector, read-only relocations bound at start-up, position-independent executables. Both
# programs parse whatever a server sends. Applied per target, to the code that ships.
include(CheckPIESupported)
check_pie_supported()

add_library(qm_hardening INTERFACE)
add_library(qm::hardening ALIAS qm_hardening)
# Position-independent code for every target that links this, so the programs link as PIE.
set_property(TARGET qm_hardening PROPERTY INTERFACE_POSITION_INDEPENDENT_CODE ON)

# Checked buffer functions need the optimiser; sanitizer and fuzz builds do their own checking.
if(NOT QM_SANITIZE AND NOT QM_FUZZ)
    set(qm_optimised $<CONFIG:Release,RelWithDebInfo,MinSizeRel>)
    # Undefined first: flags from the environment may define it already, and a redefinition warns.
    target_compile_options(qm_hardening INTERFACE $<${qm_optimised}:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
endif()
target_compile_options(qm_hardening INTERFACE -fstack-protector-strong)
target_link_options(qm_hardening INTERFACE LINKER:-z,relro LINKER:-z,now)
