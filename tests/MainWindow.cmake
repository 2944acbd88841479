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

# The program between hosts of a network namespace lab (kestrola-net itself, a window driver
# and kestrola-cli peers). Root only; they skip (77) with a message otherwise.
if(KESTROLA_BUILD_UI)
    add_executable(kestrola_window_driver netns/WindowDriver.cpp)
    target_link_libraries(kestrola_window_driver PRIVATE kestrola_ui kestrola_test_support
                          Qt6::Test)
    foreach(scenario receive edges burst window reader unreachable busy-lan)
        add_test(NAME netns.messenger.${scenario}
                 COMMAND ${KESTROLA_TEST_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/netns/messenger_netns.py
                         ${scenario} $<TARGET_FILE:kestrola-net> $<TARGET_FILE:kestrola-cli>
                         $<TARGET_FILE:kestrola_window_driver>)
        set_tests_properties(netns.messenger.${scenario} PROPERTIES
                             LABELS netns SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 180)
    endforeach()
    # Without capabilities, and beside Samba's nmbd (only ever inside the test's namespaces).
    foreach(scenario capabilities samba)
        add_test(NAME netns.beside.${scenario}
                 COMMAND ${KESTROLA_TEST_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/netns/beside_netns.py
                         ${scenario} $<TARGET_FILE:kestrola-cli> $<TARGET_FILE:kestrola-net>
                         $<TARGET_FILE:kestrola_window_driver>)
        set_tests_properties(netns.beside.${scenario} PROPERTIES
                             LABELS netns SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 240)
    endforeach()
endif()
target_sources(kestrola_unit_tests PRIVATE
    unit/messaging/ReceiverTest.cpp
    unit/messaging/SenderTest.cpp
)
