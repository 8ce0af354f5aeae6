# Programs of the 32-bit Windows build run under Wine in one 32-bit prefix per
# build tree, served by one persistent wineserver for the whole test stage, so
# a run costs a fraction of a second instead of a server start-up. The fixture
# `k729_wine` (tests/CMakeLists.txt) makes the prefix and starts and stops the
# server.
include_guard(GLOBAL)

set(K729_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
# No Mono or Gecko installers, and no Wine diagnostics mixed into the output.
set(K729_WINE_ENVIRONMENT
    WINEARCH=win32 WINEPREFIX=${K729_WINE_PREFIX} WINEDEBUG=-all "WINEDLLOVERRIDES=mscoree,mshtml=")

# k729_wine_test(<test>...): the tests run Windows programs under Wine.
function(k729_wine_test)
    set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT ${K729_WINE_ENVIRONMENT})
    set_property(TEST ${ARGN} APPEND PROPERTY FIXTURES_REQUIRED k729_wine)
endfunction()
