#pragma once

#include "platform.h"

#include <cstdint>
#include <string>
#include <vector>

// Silinst runs the database engine installer's self-registration and presses the installer's
// dialog buttons from a second thread, so that the engine installs without questions. Nothing here
// knows the operating system; it only talks to a Platform.
namespace silinst {

// What is known of the engine installer: its entry, its two dialogs and their button class.
inline constexpr const char* registerEntry = "DllRegisterServer";
inline constexpr const char* dialogClass = "TOKBottomDlg";
inline constexpr const char* dialogTitle = "Borland Database Engine Installation/Upgrade";
inline constexpr const char* warningClass = "TMessageForm";
inline constexpr const char* warningTitle = "Warning";
inline constexpr const char* buttonClass = "TButton";

inline constexpr int dialogAttempts = 1000;
inline constexpr int warningAttempts = 100;
inline constexpr int buttonAttempts = 100;
inline constexpr unsigned pollPause = 15; // milliseconds after every attempt

inline constexpr std::uint32_t visibleStyle = 0x10000000;       // WS_VISIBLE
inline constexpr std::uint32_t defaultButtonStyle = 0x00000001; // BS_DEFPUSHBUTTON
inline constexpr unsigned clickMessage = 0x00F5;                // BM_CLICK

// The whole program: arguments are those after the program name. Returns the exit code (always
// 0); an error thrown by the library's registration passes through after the library has been
// unloaded and COM uninitialised.
int run(Platform& platform, const std::vector<std::string>& arguments);

// Loads the library, starts the dialog clicker and calls the registration entry.
void registerLibrary(Platform& platform, const std::string& path);

// The body of the clicker thread: presses the installer dialog, then the warning after it.
void clickDialogs(Platform& platform);

// Posts a click to the default push button among window's "TButton" children.
bool pressDefaultButton(Platform& platform, Window window);

} // namespace silinst
