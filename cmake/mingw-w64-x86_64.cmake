# Cross build for Windows x86-64 with mingw-w64 (posix threads), linked statically.
#
# The target's libraries (RE2, ICU, GoogleTest, the PEGTL headers) come from one prefix that
# scripts/build-windows-deps fills; name it with -DVARDEL_WIN_DEPS=DIR or the environment
# variable of the same name. Tests run under Wine when it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VARDEL_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VARDEL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VARDEL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VARDEL_TRIPLE}-windres)

if(NOT VARDEL_WIN_DEPS AND DEFINED ENV{VARDEL_WIN_DEPS})
  set(VARDEL_WIN_DEPS "$ENV{VARDEL_WIN_DEPS}")
endif()
# try_compile projects read this file again and need the prefix as well.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VARDEL_WIN_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${VARDEL_TRIPLE})
if(VARDEL_WIN_DEPS)
  list(PREPEND CMAKE_FIND_ROOT_PATH ${VARDEL_WIN_DEPS})
  # RE2 is found through pkg-config; only the target's .pc files may be seen.
  set(ENV{PKG_CONFIG_LIBDIR} "${VARDEL_WIN_DEPS}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One self-contained .exe: the C and C++ runtimes and winpthreads are linked in, and ICU is a
# static library, so its headers must not ask for DLL imports.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_C_FLAGS_INIT "-DU_STATIC_IMPLEMENTATION")
set(CMAKE_CXX_FLAGS_INIT "-DU_STATIC_IMPLEMENTATION")

find_program(VARDEL_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VARDEL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VARDEL_WINE})
endif()
