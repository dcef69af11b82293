# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix), to keep
# the Windows sources compiling on a Linux machine. Qt for Windows is not installed: the Linux
# Qt 6 packages give the headers, which declare Qt's functions dllimport when they see _WIN32,
# and the host tools (moc, rcc). Used by ./build.sh check-windows with windows-check-qt.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages may come from outside the MinGW root (Qt, below).
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
# Qt's CMake packages are the Linux ones, in this machine's multiarch folder, which a search for
# Windows does not look in.
execute_process(COMMAND gcc -print-multiarch
    OUTPUT_VARIABLE gsw_host_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(Qt6_DIR /usr/lib/${gsw_host_multiarch}/cmake/Qt6 CACHE PATH "The Linux Qt 6 CMake package")
