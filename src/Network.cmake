# Network neighbourhood: browser announcements and the browse list in the platform layer, the
# network provider and service control interfaces, and the scanner's rules in the core.

target_sources(kestrola_platform PRIVATE
    platform/AnnouncementSchedule.cpp
    platform/BrowseList.cpp
    platform/NetworkProvider.cpp
    platform/ReceiveDecision.cpp
    platform/linux/LinuxNetworkProvider.cpp
    platform/linux/LinuxServiceControl.cpp
    platform/netbios/BrowserFrame.cpp
)

target_sources(kestrola_core PRIVATE
    network/MessengerServiceControl.cpp
    network/NetworkScanner.cpp
)

if(KESTROLA_BUILD_UI)
    target_sources(kestrola_ui PRIVATE
        network/ui/QtUiDispatcher.cpp
        network/ui/RecipientTree.cpp
    )
endif()
