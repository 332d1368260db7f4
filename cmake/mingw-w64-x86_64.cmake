# Cross-builds for 64-bit Windows with Debian's MinGW-w64 (posix thread
# model, which brings std::thread and std::filesystem), and runs what it
# builds under Wine:
#
#   cmake --preset windows && cmake --build --preset windows
#   ctest --preset windows
#
# scripts/install-deps installs the compilers and Wine.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JBX_MINGW_TRIPLE x86_64-w64-mingw32)

# The posix variants by name: the plain names follow the alternatives
# system and may be the win32 thread model, which lacks std::thread.
find_program(CMAKE_C_COMPILER NAMES ${JBX_MINGW_TRIPLE}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${JBX_MINGW_TRIPLE}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${JBX_MINGW_TRIPLE}-windres)

# Libraries and packages come from the MinGW sysroot only, never from the
# build machine; programs (python, git, ...) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${JBX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Self-contained programs: the GCC runtime, libstdc++ and winpthread are
# linked in, so jbxtool.exe runs on a Windows machine with no MinGW DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs, discovery and the build's own generators run under Wine
# through this wrapper, which also gives them a private prefix.
cmake_path(SET CMAKE_CROSSCOMPILING_EMULATOR NORMALIZE
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run")
