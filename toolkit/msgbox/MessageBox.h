/// \file
/// The message box that the library uses for its one error report.
///
/// ShowMessageBox takes what the library hands a message box: owner window, text, caption and
/// style, and shows it through the active handler. By default that is the system's own message
/// box on Windows and a line on standard error elsewhere; a renderer that shows its own modal
/// dialogs installs a handler with SetMessageBoxHandler and restores the previous one when it
/// closes. Texts are UTF-8.
///
/// On Windows, MessageBoxA, MB_OK, MB_ICONERROR and IDOK are the system's (<windows.h>), so a
/// program may include this header next to the Windows headers. Elsewhere this header stands in
/// for them.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
constexpr unsigned MB_OK = 0x00000000u;         ///< Style: a single OK button.
constexpr unsigned MB_ICONERROR = 0x00000010u;  ///< Style: the error icon (and an OK button).

/// Result of a box closed with its OK button.
constexpr int IDOK = 1;

/// The stand-in for the system's message box: ShowMessageBox under the designed name.
int MessageBoxA(void* owner, const char* text, const char* caption, unsigned style);
#endif

/// What ShowMessageBox calls: the same arguments and result.
using MessageBoxHandler = int (*)(void* owner, const char* text, const char* caption,
                                  unsigned style);

/// Shows a modal notice through the active handler and returns when it has been closed.
int ShowMessageBox(void* owner, const char* text, const char* caption, unsigned style);

/// Installs handler (null restores the default); returns the one it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

#ifdef _WIN32
/// The system's message box with UTF-8 text and caption (MessageBoxW). Without an owner, the
/// calling thread's active window owns it, if it has one.
int SystemMessageBox(void* owner, const char* text, const char* caption, unsigned style);
#endif
