/// \file
/// The message box that the library uses for its one error report.
///
/// MessageBoxA has the shape the library expects: owner window, text, caption and style. By
/// default it writes the caption and the text to standard error; a renderer that can show a
/// real modal dialog installs its own handler with SetMessageBoxHandler and restores the
/// previous one when it closes.
#pragma once

// Styles understood by the handlers.
constexpr unsigned MB_OK = 0x00000000u;         ///< Style: a single OK button.
constexpr unsigned MB_ICONERROR = 0x00000010u;  ///< Style: the error icon (and an OK button).

/// Result of a box closed with its OK button.
constexpr int IDOK = 1;

/// What MessageBoxA calls: the same arguments and result.
using MessageBoxHandler = int (*)(void* owner, const char* text, const char* caption,
                                  unsigned style);

/// Shows a modal notice and returns when it has been closed.
int MessageBoxA(void* owner, const char* text, const char* caption, unsigned style);

/// Installs handler (null restores the standard-error default); returns the one it replaces.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
