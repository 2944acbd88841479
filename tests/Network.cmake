# Network neighbourhood: browser frames, browse list, provider, scanner and service control.

kestrola_add_tests(kestrola_network_tests unit
    unit/network/MessengerServiceControlTest.cpp
    unit/network/NetworkScannerTest.cpp
    unit/platform/AnnouncementScheduleTest.cpp
    unit/platform/BrowseListTest.cpp
    unit/platform/BrowserFrameTest.cpp
    unit/platform/LinuxNetworkProviderTest.cpp
    unit/platform/ReceiveDecisionTest.cpp
)

# In-process tests of the browse list and the provider between namespaces of a lab.
add_executable(kestrola_netns_browse_tests netns/BrowseServiceTest.cpp)
target_link_libraries(kestrola_netns_browse_tests PRIVATE kestrola_test_support GTest::gtest_main)
gtest_discover_tests(kestrola_netns_browse_tests PROPERTIES LABELS netns RUN_SERIAL TRUE
                     DISCOVERY_TIMEOUT 30)

# Multi-host browsing with real processes, and Samba's nmbd as a peer, in namespaces the
# scenarios build and remove themselves (root only; they skip with 77 otherwise).
foreach(scenario hosts samba)
    add_test(NAME netns.browse.${scenario}
             COMMAND ${KESTROLA_TEST_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/netns/browse_netns.py
                     ${scenario} $<TARGET_FILE:kestrola-cli>)
    set_tests_properties(netns.browse.${scenario} PROPERTIES
                         LABELS netns SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 180)
endforeach()
# Beside nmbd, the raw socket's filter under a flood of other UDP traffic, with its CPU cost.
add_test(NAME netns.beside.flood
         COMMAND ${KESTROLA_TEST_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/netns/beside_netns.py
                 flood $<TARGET_FILE:kestrola-cli>)
set_tests_properties(netns.beside.flood PROPERTIES
                     LABELS netns SKIP_RETURN_CODE 77 RUN_SERIAL TRUE TIMEOUT 120)

if(KESTROLA_BUILD_UI)
    target_sources(kestrola_ui_tests PRIVATE ui/network/RecipientTreeTest.cpp)
endif()
