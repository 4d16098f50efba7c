# Cross-building for 64-bit Windows with Debian's MinGW-w64, whose POSIX thread model gives std::thread and
# std::mutex, and running what was built under Wine: `make test-windows` uses it.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DQUILLMARK_PUGIXML_SOURCE=<pugixml's sources>
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Statically linked: each .exe runs alone, without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Wine runs the programs: the tests under CTest, and the test programs asked for their lists of tests. Its
# prefix (the Windows it emulates) is in the build folder, made by the build (tests/CMakeLists.txt), and Wine
# says nothing it need not.
find_program(QUILLMARK_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
find_program(QUILLMARK_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(QUILLMARK_WINE)
  set(QUILLMARK_WINE_ENVIRONMENT WINEPREFIX=${CMAKE_BINARY_DIR}/wine WINEDEBUG=-all)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_COMMAND} -E env ${QUILLMARK_WINE_ENVIRONMENT} ${QUILLMARK_WINE})
endif()
