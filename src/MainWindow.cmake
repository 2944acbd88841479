# The main window: its Qt-free rules (viewer, tray and attention, sending, receiving, start-up
# order) in the core, sounds, quit requests and desktop notifications (GIO, found with the shell
# tree) in the platform layer, and the desktop program
# kestrola-net with its installation.

find_package(PkgConfig REQUIRED)
pkg_check_modules(CANBERRA REQUIRED IMPORTED_TARGET libcanberra)

target_sources(kestrola_platform PRIVATE
    platform/Sound.cpp
    platform/linux/LinuxDesktopNotifications.cpp
    platform/linux/LinuxQuitRequests.cpp
    platform/linux/LinuxSound.cpp
)
target_link_libraries(kestrola_platform PRIVATE PkgConfig::CANBERRA)

target_sources(kestrola_core PRIVATE
    app/MainWindow.cpp
    app/ScannerNetwork.cpp
    app/SoundFolders.cpp
    app/TrayAttention.cpp
    messaging/Receiver.cpp
    messaging/Sender.cpp
    store/Viewer.cpp
)

include(GNUInstallDirs)
set(KESTROLA_SOUND_INSTALL_DIR ${CMAKE_INSTALL_DATADIR}/kestrola-net/sounds)
set_source_files_properties(app/SoundFolders.cpp PROPERTIES COMPILE_DEFINITIONS
    KESTROLA_INSTALLED_SOUND_DIR="${CMAKE_INSTALL_FULL_DATADIR}/kestrola-net/sounds")

set(KESTROLA_SOUNDS
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/sounds/personal.wav
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/sounds/group.wav
    ${CMAKE_CURRENT_SOURCE_DIR}/resources/sounds/send.wav
)

if(KESTROLA_BUILD_UI)
    target_sources(kestrola_ui PRIVATE
        app/ui/MainDialog.cpp
        app/ui/MessengerApp.cpp
        app/ui/PaletteColors.cpp
    )

    add_executable(kestrola-net app/ui/main.cpp)
    target_link_libraries(kestrola-net PRIVATE kestrola_ui)
    # The program's own folder is its working folder in the build tree: the default sounds
    # lie beside it there.
    set_target_properties(kestrola-net PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
    set(KESTROLA_BUILT_SOUNDS)
    foreach(sound ${KESTROLA_SOUNDS})
        get_filename_component(name ${sound} NAME)
        add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/${name}
                           COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sound}
                                   ${CMAKE_BINARY_DIR}/bin/${name}
                           DEPENDS ${sound} VERBATIM)
        list(APPEND KESTROLA_BUILT_SOUNDS ${CMAKE_BINARY_DIR}/bin/${name})
    endforeach()
    add_custom_target(kestrola_sounds ALL DEPENDS ${KESTROLA_BUILT_SOUNDS})
    add_dependencies(kestrola-net kestrola_sounds)

    # The desktop icon in the hicolor theme's sizes, drawn from our SVG.
    find_package(Qt6 REQUIRED COMPONENTS Gui Svg)
    add_executable(kestrola-render-icon ${CMAKE_SOURCE_DIR}/tools/icons/ui/RenderIcon.cpp)
    target_link_libraries(kestrola-render-icon PRIVATE Qt6::Gui Qt6::Svg)
    set(KESTROLA_ICON_SVG ${CMAKE_CURRENT_SOURCE_DIR}/resources/desktop/kestrola-net.svg)
    set(KESTROLA_ICON_PNGS)
    foreach(size 16 22 24 32 48 64 128 256)
        set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/kestrola-net.png)
        add_custom_command(OUTPUT ${png}
                           COMMAND ${CMAKE_COMMAND} -E make_directory
                                   ${CMAKE_BINARY_DIR}/icons/${size}x${size}
                           COMMAND kestrola-render-icon ${KESTROLA_ICON_SVG} ${size} ${png}
                           DEPENDS ${KESTROLA_ICON_SVG} kestrola-render-icon VERBATIM)
        list(APPEND KESTROLA_ICON_PNGS ${png})
        install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(kestrola_icons ALL DEPENDS ${KESTROLA_ICON_PNGS})

    install(TARGETS kestrola-net RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${KESTROLA_ICON_SVG}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    install(FILES resources/desktop/kestrola-net.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${KESTROLA_SOUNDS} DESTINATION ${KESTROLA_SOUND_INSTALL_DIR})
    install(CODE "message(STATUS \"kestrola-net binds UDP 137 and 138: as root run \
'setcap cap_net_bind_service,cap_net_raw=ep \${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kestrola-net' \
once after installing (see README)\")")
endif()
