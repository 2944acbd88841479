# Tests of the shell namespace tree: the rules against in-memory fakes, the GIO namespace on
# folders the tests make, and the tree widget offscreen.

target_sources(kestrola_unit_tests PRIVATE
    unit/network/ShellTreeTest.cpp
    unit/platform/LinuxShellNamespaceTest.cpp
    unit/platform/NaturalOrderTest.cpp
)

if(KESTROLA_BUILD_UI)
    target_sources(kestrola_ui_tests PRIVATE
        ui/network/ShellTreeViewTest.cpp
    )
endif()
