#include "tests/ztv/tool_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <thread>

namespace ztv::test {

namespace {

std::vector<char*> Argv(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

std::vector<std::string> Command(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{ZTV_PROGRAM};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

// In the child: the environment the tool sees, then exec.
[[noreturn]] void Exec(std::vector<std::string> command, const std::vector<std::string>& environment) {
    unsetenv("ZTV_RESOURCE");
    unsetenv("ZENTRAVA_VXI11_PORT");
    for (const std::string& e : environment) putenv(strdup(e.c_str()));
    std::vector<char*> argv = Argv(command);
    execv(argv[0], argv.data());
    _exit(127);
}

std::string Drain(int fd) {
    std::string text;
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    close(fd);
    return text;
}

int ExitStatus(int pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ToolResult RunTool(const std::vector<std::string>& arguments, const std::string& input,
                   const std::vector<std::string>& environment) {
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return {};
    const int pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        Exec(Command(arguments), environment);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // Inputs are small: they fit into the pipe before the tool reads them.
    const bool written = input.empty() || write(in[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
    close(in[1]);
    ToolResult result;
    std::thread errors([&] { result.err = Drain(err[0]); });
    result.out = Drain(out[0]);
    errors.join();
    result.exit = written ? ExitStatus(pid) : -1;
    return result;
}

BackgroundTool::BackgroundTool(const std::vector<std::string>& arguments) {
    int out[2];
    if (pipe(out)) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        Exec(Command(arguments), {});
    }
    close(out[1]);
    out_ = out[0];
}

BackgroundTool::~BackgroundTool() {
    if (pid_ > 0) Stop();
}

std::string BackgroundTool::ReadLine() {
    for (;;) {
        const std::size_t end = pending_.find('\n');
        if (end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        pollfd p{out_, POLLIN, 0};
        char buffer[4096];
        if (poll(&p, 1, 10000) <= 0) return "";
        const ssize_t n = read(out_, buffer, sizeof buffer);
        if (n <= 0) return "";
        pending_.append(buffer, static_cast<std::size_t>(n));
    }
}

int BackgroundTool::Stop() {
    kill(pid_, SIGTERM);
    const int status = ExitStatus(pid_);
    pid_ = -1;
    close(out_);
    return status;
}

}  // namespace ztv::test
