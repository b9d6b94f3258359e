// Runs ztv as a child process and collects what it printed and its exit
// status; reads what it wrote.
#pragma once

#include <string>
#include <vector>

namespace ztv::test {

struct ToolResult {
    int exit = -1;
    std::string out;
    std::string err;
};

// `input` goes to the program's standard input; the environment is this
// process's, without ZTV_RESOURCE and ZENTRAVA_VXI11_PORT unless `environment`
// ("NAME=value") sets them.
ToolResult RunTool(const std::vector<std::string>& arguments, const std::string& input = "",
                   const std::vector<std::string>& environment = {});

// A file's whole content ("" when it cannot be read) and a text's lines.
std::string ReadFile(const std::string& path);
std::vector<std::string> Lines(const std::string& text);

// A program started in the background; stopped with SIGTERM at destruction.
class BackgroundTool {
public:
    explicit BackgroundTool(const std::vector<std::string>& arguments);
    ~BackgroundTool();
    // The next line of its standard output, "" at its end or after 10 s.
    std::string ReadLine();
    // Sends SIGTERM and returns the exit status.
    int Stop();

private:
    int pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

}  // namespace ztv::test
