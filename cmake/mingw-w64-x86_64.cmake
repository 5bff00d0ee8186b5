# Cross-building for 64-bit Windows 10 and later with Debian's mingw-w64
# (package g++-mingw-w64-x86-64-posix): the compilers of the posix thread
# model, which std::thread needs; the win32 model has no std::thread.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#
# ./scripts/build-windows passes it, with the hidapi sources it fetched.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_VERSION 10.0)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(lumora_triple x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER ${lumora_triple}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${lumora_triple}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${lumora_triple}-windres REQUIRED)

# Libraries and headers come from the target's tree only; programs run here.
set(CMAKE_FIND_ROOT_PATH /usr/${lumora_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 10 is the oldest system the programs run on.
add_compile_definitions(_WIN32_WINNT=0x0A00 WINVER=0x0A00 UNICODE _UNICODE)

# The C and C++ runtime and the threads library are linked statically: a
# program needs nothing beside it but Windows' own DLLs and hidapi.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# Test programs run under Wine (Debian's wine64), through CTest and at the
# tests' discovery.
find_program(LUMORA_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(LUMORA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMORA_WINE})
endif()
