# Cross-building for Linux on arm64 (tools/check-arm64): Debian's cross-compiler against the
# arm64 root that tools/devenv --arch arm64 mounts (its C library, Python and GoogleTest);
# programs built here, the tests among them, run under qemu-user with that root's libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_SYSROOT "$ENV{TRAVOK_ARM64_ROOT}")
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L "${CMAKE_SYSROOT}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The module is built for the root's interpreter: run under the emulator, it tells where its
# headers are and what its modules' suffix is (with policy CMP0190 set, tools/check-arm64).
set(Python_EXECUTABLE "${CMAKE_SYSROOT}/usr/bin/python3" CACHE FILEPATH "the arm64 root's interpreter")
