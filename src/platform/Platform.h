#pragma once

#include "platform/Clock.h"
#include "platform/CodePage.h"
#include "platform/DesktopNotifications.h"
#include "platform/Mailslots.h"
#include "platform/NetworkProvider.h"
#include "platform/PlatformVersion.h"
#include "platform/ProcessEnvironment.h"
#include "platform/QuitRequests.h"
#include "platform/ServiceControl.h"
#include "platform/Shell.h"
#include "platform/ShellNamespace.h"
#include "platform/Sound.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kestrola::platform {

// The one factory of platform objects. Each platform folder implements these functions for
// its own system.

/// The OEM/ANSI code page chosen from the locale (KESTROLA_OEM_CODEPAGE overrides it).
std::unique_ptr<CodePage> CreateCodePage();
/// The system's local-time clock.
std::unique_ptr<Clock> CreateClock();
/// The process's mailslots on the network (the one NetBIOS datagram and name service of the
/// process, shared by every caller). Nothing is bound or sent until it is used.
std::shared_ptr<Mailslots> CreateMailslots();
/// The process's mailslots (as CreateMailslots) with their ports taken at once, then every
/// capability of the process dropped: called first thing in main(), before any library that
/// loads code, by a program that receives. When another NetBIOS service (Samba's nmbd) holds
/// the ports, the mailslots receive copies of its datagrams beside it and never answer;
/// `notes` then says so for the standard error. Failures to take the ports show when a local
/// mailslot is created, as without this call.
std::shared_ptr<Mailslots> CreateListeningMailslots(std::vector<std::string>& notes);
/// What a process that does not take the ports itself needs to know: when another NetBIOS
/// service holds them here, the notes CreateListeningMailslots would give; none otherwise.
std::vector<std::string> BesideNotes();
/// The desktop's shell: its opener and its registered web browser.
std::unique_ptr<Shell> CreateShell();
/// The desktop's namespace of folders and network places.
std::unique_ptr<ShellNamespace> CreateShellNamespace();
/// The running process's surroundings: folders, working directory, single-instance marker.
std::unique_ptr<ProcessEnvironment> CreateProcessEnvironment();
/// The line end that text files written by the program use on this system.
std::string_view NativeLineEnd();
/// The event-sound player; relative names are looked for in the working directory and then in
/// `soundFolders`. With KESTROLA_SOUND_LOG set, every request is also written to that file.
std::unique_ptr<Sound> CreateSound(std::vector<std::string> soundFolders);
/// The desktop's notifications (nothing is shown where the desktop has no such service).
std::unique_ptr<DesktopNotifications> CreateDesktopNotifications();
/// Catches the system's requests to end the program for the event loop.
std::unique_ptr<QuitRequests> CreateQuitRequests();

/// How long a scan's group enumeration waits for the answers to its AnnouncementRequests
/// (others answer after a random wait of up to two seconds).
inline constexpr std::chrono::milliseconds kBrowseCollectTime{2500};
/// The network provider: its workgroups and computers come from the browse list of the
/// process's datagram service; a group enumeration first waits `collect` for announcements.
std::shared_ptr<NetworkProvider>
CreateNetworkProvider(std::chrono::milliseconds collect = kBrowseCollectTime);
/// The version record of the running system.
PlatformVersion GetPlatformVersion();
/// Opens the system's service control manager with `access`; nullptr where there is none.
std::unique_ptr<ServiceManager> OpenServiceManager(std::uint32_t access);

} // namespace kestrola::platform
