# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads, for std::thread) and
# runs the resulting test programs under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(corvalis_mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${corvalis_mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${corvalis_mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${corvalis_mingw_prefix}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${corvalis_mingw_prefix})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained executable: no libstdc++, libgcc or winpthread DLL beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Every program that CMake or CTest runs goes through Wine, with a prefix and a display of its own
# inside the build folder. They are test programs, so one that Wine failed to start is started again.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;--prefix;${CMAKE_BINARY_DIR}/wine-prefix;--again-if-silent")

# Tests are listed when CTest runs them, so building never needs Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# A size-optimised build unless asked otherwise: the executable ships as it is built.
if(NOT CMAKE_BUILD_TYPE)
    set(CMAKE_BUILD_TYPE MinSizeRel CACHE STRING "Build type of the Windows cross build")
endif()
