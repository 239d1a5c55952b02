# Sourced by the Windows build scripts: the CMake settings every cross build for Windows shares,
# MinGW-w64's toolchain and this machine's Qt tools (moc, rcc, uic) as the host tools.
# Needs $root, the project's folder.
cross_cmake_args=(
    -G Ninja
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake"
    -DCMAKE_BUILD_TYPE=Release
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
)
