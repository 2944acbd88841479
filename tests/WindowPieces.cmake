# Tests of the window pieces: their Qt-free rules run with the unit tests; the widgets run
# offscreen under the label "ui" and leave pictures in build/<preset>/screens.

target_sources(kestrola_unit_tests PRIVATE
    unit/app/AboutAndExpansionTest.cpp
    unit/controls/ButtonFaceTest.cpp
    unit/controls/HyperlinkTest.cpp
    unit/controls/LinkTokenTest.cpp
    unit/platform/LinuxDesktopEntryTest.cpp
    unit/platform/LinuxShellTest.cpp
    unit/store/NoticeCountdownTest.cpp
)

if(KESTROLA_BUILD_UI)
    find_package(Qt6 REQUIRED COMPONENTS Test)

    add_executable(kestrola_ui_tests
        support/QtTestMain.cpp
        support/UiTestSupport.cpp
        ui/app/AboutBoxTest.cpp
        ui/app/ExpandingDialogTest.cpp
        ui/controls/CEditExTest.cpp
        ui/controls/FlatButtonTest.cpp
        ui/controls/LinkLabelTest.cpp
        ui/resources/ImageResourcesTest.cpp
        ui/store/NoticeDialogTest.cpp
    )
    target_link_libraries(kestrola_ui_tests PRIVATE kestrola_ui kestrola_test_support Qt6::Test
                          GTest::gtest)
    target_compile_definitions(kestrola_ui_tests PRIVATE
        KESTROLA_SCREENS_DIR="${CMAKE_BINARY_DIR}/screens")
    gtest_discover_tests(kestrola_ui_tests
        PROPERTIES LABELS ui ENVIRONMENT QT_QPA_PLATFORM=offscreen
        DISCOVERY_TIMEOUT 30)
endif()
