# The program as a Linux desktop citizen: its Debian package (built with CPack from this build
# folder and checked without installing it) and, under the label "desktop", a person's check on
# a real X display with a window manager and a notification area.

if(KESTROLA_BUILD_UI)
    add_test(NAME package.deb
             COMMAND ${KESTROLA_TEST_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/package/deb_package.py
                     ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
    set_tests_properties(package.deb PROPERTIES LABELS package SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()

if(KESTROLA_BUILD_UI)
    add_test(NAME desktop.person
             COMMAND ${KESTROLA_TEST_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/desktop/desktop_check.py
                     $<TARGET_FILE:kestrola-net> $<TARGET_FILE:kestrola-cli>
                     $<TARGET_FILE:kestrola_window_driver> ${CMAKE_BINARY_DIR}/screens)
    set_tests_properties(desktop.person PROPERTIES
                         LABELS desktop SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 300)
endif()
