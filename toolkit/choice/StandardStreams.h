// The process's standard descriptors, made safe before anything else starts.
//
// A descriptor 0, 1 or 2 that the program was started without would be taken by the next file
// anything opens (the display connection, say), and a message meant for standard error would then
// corrupt it. Each closed one is opened on the null device instead. The system calls live in
// StandardStreams.cpp alone.
#pragma once

// Opens each closed standard descriptor on the null device; call it first thing.
void OpenClosedStandardStreams();
// Whether standard output was closed when the program started: a report written there is lost.
bool StandardOutputWasClosed();
// Before anything is written: a Windows program without a console of its own (program.exe)
// whose standard output leads nowhere writes to the console of the process that started it,
// if any. Elsewhere, and where the output leads somewhere, it does nothing.
void UseParentConsole();
