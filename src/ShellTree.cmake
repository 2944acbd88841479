# The shell namespace tree: the desktop's namespace through GIO in the platform layer and the
# filling rules in the core; the recipient tree widget carries them out.

find_package(PkgConfig REQUIRED)
pkg_check_modules(GIO REQUIRED IMPORTED_TARGET gio-2.0 gio-unix-2.0)

target_sources(kestrola_platform PRIVATE
    platform/NaturalOrder.cpp
    platform/linux/LinuxShellNamespace.cpp
)
target_link_libraries(kestrola_platform PRIVATE PkgConfig::GIO)

target_sources(kestrola_core PRIVATE
    network/ShellTree.cpp
)
