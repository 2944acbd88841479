# Window pieces: the Qt-free rules of the custom controls, the notice and the dialogs go into
# the core, the desktop shell into the platform layer, and the widgets into kestrola_ui.

target_sources(kestrola_platform PRIVATE
    platform/BrowserCommand.cpp
    platform/linux/LinuxDesktopEntry.cpp
    platform/linux/LinuxShell.cpp
)

target_sources(kestrola_core PRIVATE
    app/AboutInfo.cpp
    app/Expansion.cpp
    controls/ButtonFace.cpp
    controls/Hyperlink.cpp
    controls/LinkToken.cpp
    resources/IconResources.cpp
    resources/MenuResources.cpp
    store/NoticeCountdown.cpp
)

if(KESTROLA_BUILD_UI)
    find_package(Qt6 REQUIRED COMPONENTS Widgets Svg)

    add_library(kestrola_ui STATIC
        app/ui/AboutBox.cpp
        app/ui/ExpandingDialog.cpp
        controls/CEditEx.cpp
        controls/Conversions.cpp
        controls/DialogTemplate.cpp
        controls/FlatButton.cpp
        controls/LinkLabel.cpp
        controls/Resources.cpp
        messaging/ui/SystemMessage.cpp
        store/ui/NoticeDialog.cpp
        resources/kestrola.qrc
    )
    set_target_properties(kestrola_ui PROPERTIES AUTOMOC ON AUTORCC ON)
    target_include_directories(kestrola_ui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(kestrola_ui PUBLIC kestrola_core kestrola_platform Qt6::Widgets
                          Qt6::Svg)
endif()
