// Runs a program to its end and collects what it writes.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ProcessResult {
    int Status = -1;   // the exit status as a shell gives it (128 + N for signal N)
    std::string Out;
    std::string Err;
};

// Where the program's standard output goes: a pipe read to the end, the full device, nowhere
// (closed), or a pipe whose reader has gone.
enum class Output { Pipe, Full, Closed, ReaderGone };

// How the program is started: its standard input from /dev/null, as a desktop launcher starts
// it, or from a terminal, as a prompt does; as this user, or (when this user is root) as the
// unprivileged user nobody.
struct Start {
    bool FromTerminal = false;
    bool Unprivileged = false;
};

// A program still running after a minute is killed.
ProcessResult RunProgram(const std::string& path, const std::vector<std::string>& unset,
                         const std::map<std::string, std::string>& set,
                         const std::vector<std::string>& args = {}, Output output = Output::Pipe,
                         Start start = {});
