# Tests of the main window: its Qt-free rules with the unit tests, the window itself offscreen
# under the label "ui", and the program between namespaces under "netns".

target_sources(kestrola_unit_tests PRIVATE
    unit/app/MainWindowTest.cpp
)
target_sources(kestrola_unit_tests PRIVATE
    unit/app/TrayAttentionTest.cpp
    unit/store/ViewerTest.cpp
)
target_sources(kestrola_unit_tests PRIVATE unit/platform/SoundFileTest.cpp)

if(KESTROLA_BUILD_UI)
    target_sources(kestrola_ui_tests PRIVATE ui/app/MainDialogTest.cpp)
endif()
