# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds for 64-bit Windows with Debian's mingw-w64 and runs the results under wine.
#
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
#     -DTORVANE_WINDOWS_PREFIX=build-windows/deps/prefix
#
# scripts/windows-deps fills TORVANE_WINDOWS_PREFIX; scripts/build-windows does all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix flavour: its libstdc++ has std::thread, std::mutex and std::condition_variable, which the
# serial component's workers need; the -win32 flavour has none of them.
set(TORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TORVANE_MINGW_TRIPLET}-windres)

set(TORVANE_WINDOWS_PREFIX "" CACHE PATH "Prefix of the libraries built for Windows by scripts/windows-deps")
set(TORVANE_WINDOWS_QT "" CACHE PATH "Prefix of Qt 6 built for mingw-w64 (../shared/windows/qt6-mingw-6.4.2)")
# try_compile projects read this file again without our cache; hand them the two prefixes.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TORVANE_WINDOWS_PREFIX TORVANE_WINDOWS_QT)
foreach(prefixVar TORVANE_WINDOWS_PREFIX TORVANE_WINDOWS_QT)
  if(${prefixVar})
    get_filename_component(${prefixVar} "${${prefixVar}}" ABSOLUTE)
  endif()
endforeach()

# Libraries, headers and packages come only from the Windows roots: a Linux library found by mistake
# fails only at link time, in a wall of undefined symbols. A prefix given the usual way
# (-DCMAKE_PREFIX_PATH=.../qt6-mingw-6.4.2) is a root as well. Qt's host tools (moc, rcc, uic) are
# Debian's, which Qt's packages find through QT_HOST_PATH outside the roots.
set(CMAKE_FIND_ROOT_PATH /usr/${TORVANE_MINGW_TRIPLET} ${TORVANE_WINDOWS_PREFIX} ${TORVANE_WINDOWS_QT}
                         ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes go into each program, so a program needs no DLL of the compiler's beside it but
# libwinpthread-1.dll, which the -posix runtime only links as a DLL without a fight.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

# ctest (and gtest_discover_tests) run the Windows programs through wine, in a prefix of the build
# folder's own. The DLLs a program may still load: winpthread and zlib from the mingw root, the compiler's
# runtime that Qt's DLLs were linked against, and whatever the prefixes carry.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                OUTPUT_VARIABLE torvaneMingwRuntime OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(torvaneMingwRuntime "${torvaneMingwRuntime}" DIRECTORY)
set(torvaneDllDirs /usr/${TORVANE_MINGW_TRIPLET}/lib ${torvaneMingwRuntime})
foreach(prefixDir ${TORVANE_WINDOWS_PREFIX} ${TORVANE_WINDOWS_QT} ${CMAKE_PREFIX_PATH})
  list(APPEND torvaneDllDirs ${prefixDir}/bin)
endforeach()
list(JOIN torvaneDllDirs : torvaneDllDirs)
get_filename_component(torvaneWineRun ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${torvaneWineRun} --prefix ${CMAKE_BINARY_DIR}/wine --dlls ${torvaneDllDirs} --text --)
