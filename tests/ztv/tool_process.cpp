#include "tests/ztv/tool_process.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

namespace ztv::test {

namespace {

std::vector<std::string> Command(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{ZTV_PROGRAM};
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

// The command line and environment the tool sees, built before fork: the
// test process has threads (the emulator), so the child may only call
// async-signal-safe functions until exec; an allocation there can hang on a
// lock another thread held at the fork.
struct Launch {
    std::vector<std::string> argumentText;
    std::vector<std::string> environmentText;
    std::vector<char*> argv;
    std::vector<char*> envp;

    Launch(const std::vector<std::string>& arguments, const std::vector<std::string>& environment)
        : argumentText(Command(arguments)) {
        // The tool's own settings never leak in from the test's environment;
        // what the test gives replaces an inherited entry of the same name.
        std::vector<std::string> replaced{"ZTV_RESOURCE=", "ZENTRAVA_VXI11_PORT="};
        for (const std::string& e : environment) replaced.push_back(e.substr(0, e.find('=') + 1));
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string entry(*e);
            bool keep = true;
            for (const std::string& name : replaced) keep = keep && entry.rfind(name, 0) != 0;
            if (keep) environmentText.push_back(entry);
        }
        environmentText.insert(environmentText.end(), environment.begin(), environment.end());
        argv = Pointers(argumentText);
        envp = Pointers(environmentText);
    }

    [[noreturn]] void Exec() {
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }

private:
    static std::vector<char*> Pointers(std::vector<std::string>& texts) {
        std::vector<char*> pointers;
        for (std::string& t : texts) pointers.push_back(t.data());
        pointers.push_back(nullptr);
        return pointers;
    }
};

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
    Launch launch(arguments, environment);
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return {};
    const int pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
        launch.Exec();
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    // Inputs are small: they fit into the pipe before the tool reads them.
    const bool written =
        input.empty() || write(in[1], input.data(), input.size()) == static_cast<ssize_t>(input.size());
    close(in[1]);
    ToolResult result;
    std::thread errors([&] { result.err = Drain(err[0]); });
    result.out = Drain(out[0]);
    errors.join();
    result.exit = written ? ExitStatus(pid) : -1;
    return result;
}

BackgroundTool::BackgroundTool(const std::vector<std::string>& arguments) {
    Launch launch(arguments, {});
    int out[2];
    if (pipe(out)) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        close(out[0]);
        close(out[1]);
        launch.Exec();
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

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace ztv::test
