// Runs a program to its end with standard input from /dev/null and collects what it writes.
#pragma once

#include <map>
#include <string>
#include <vector>

struct ProcessResult {
    int Status = -1;   // the exit status, or -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

ProcessResult RunProgram(const std::string& path, const std::vector<std::string>& unset,
                         const std::map<std::string, std::string>& set);
