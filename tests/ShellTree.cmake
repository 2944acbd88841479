# Tests of the shell namespace tree: the rules against in-memory fakes and the GIO namespace on
# folders the tests make (the recipient tree's tests show it offscreen).

target_sources(kestrola_unit_tests PRIVATE
    unit/network/ShellTreeTest.cpp
    unit/platform/LinuxShellNamespaceTest.cpp
    unit/platform/NaturalOrderTest.cpp
)
