# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix).
#
# With GSW_WINDOWS_QT naming a Qt built for Windows (tools/build-windows-qt.sh), the program is
# built against it and runs on Windows; the Linux Qt gives the host tools (moc, rcc). That is
# ./build.sh windows.
#
# Without it, only the Linux Qt 6 packages are used: their headers declare Qt's functions
# dllimport when they see _WIN32, which keeps the Windows sources compiling on a Linux machine.
# That is ./build.sh check-windows, with windows-check-qt.cmake.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${GSW_WINDOWS_QT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages may come from outside the MinGW root (Qt, below).
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES GSW_WINDOWS_QT)

execute_process(COMMAND gcc -print-multiarch
    OUTPUT_VARIABLE gsw_host_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
if(GSW_WINDOWS_QT)
    set(Qt6_DIR ${GSW_WINDOWS_QT}/lib/cmake/Qt6 CACHE PATH "Qt 6 for Windows")
    # The host tools come from the Linux Qt, whose CMake packages Debian keeps in the multiarch
    # folder.
    set(QT_HOST_PATH /usr CACHE PATH "The Linux Qt's prefix")
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${gsw_host_multiarch}/cmake CACHE PATH
        "The Linux Qt's CMake packages")
else()
    # Qt's CMake packages are the Linux ones, in this machine's multiarch folder, which a search
    # for Windows does not look in.
    set(Qt6_DIR /usr/lib/${gsw_host_multiarch}/cmake/Qt6 CACHE PATH "The Linux Qt 6 CMake package")
endif()
