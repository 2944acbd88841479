# Network neighbourhood: browser frames, browse list, provider, scanner and service control.

kestrola_add_tests(kestrola_network_tests unit
    unit/network/MessengerServiceControlTest.cpp
    unit/network/NetworkScannerTest.cpp
    unit/platform/AnnouncementScheduleTest.cpp
    unit/platform/BrowseListTest.cpp
    unit/platform/BrowserFrameTest.cpp
    unit/platform/LinuxNetworkProviderTest.cpp
)
