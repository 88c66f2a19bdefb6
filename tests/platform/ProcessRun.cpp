#include "ProcessRun.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

ProcessResult RunProgram(const std::string& path, const std::vector<std::string>& unset,
                         const std::map<std::string, std::string>& set, const std::vector<std::string>& args,
                         Output output, Start start) {
    int out[2];
    int err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return {};
    int terminal = -1;
    int input = -1;
    if (start.FromTerminal && openpty(&terminal, &input, nullptr, nullptr, nullptr) != 0) return {};
    if (output == Output::ReaderGone) close(out[0]);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(start.FromTerminal ? input : open("/dev/null", O_RDONLY), STDIN_FILENO);
        const uid_t nobody = 65534;
        if (start.Unprivileged && geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0))
            _exit(126);
        if (output == Output::Full) dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
        else if (output == Output::Closed) close(STDOUT_FILENO);
        else dup2(out[1], STDOUT_FILENO);
        dup2(err[1], STDERR_FILENO);
        signal(SIGPIPE, SIG_DFL);
        close(out[0]);
        close(err[0]);
        for (const std::string& name : unset) unsetenv(name.c_str());
        for (const auto& [name, value] : set) setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv = {const_cast<char*>(path.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    if (input != -1) close(input);
    ProcessResult result;
    pollfd fds[2] = {{output == Output::ReaderGone ? -1 : out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&result.Out, &result.Err};
    int open = output == Output::ReaderGone ? 1 : 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(fds, 2, 1000) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (pollfd& fd : fds)
        if (fd.fd >= 0) close(fd.fd);
    if (open > 0) kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (terminal != -1) close(terminal);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}
