// Runs the built tool as a separate process, as an administrator would,
// and captures what it prints.
#pragma once

#include <string>
#include <vector>

struct ToolRun {
  std::string out;
  std::string err;
  int exitCode = -1;
};

// Runs the tool with args on the organisation file (none: the built-in
// one), feeding input to its standard input.
ToolRun RunTool(const std::vector<std::string>& args, const std::string& organisationFile, const std::string& input);

// The same for any command line, argv[0] looked up in PATH: the Windows
// build runs as "wine C:\caldrose\caldrose.exe ...".
ToolRun RunCommand(const std::vector<std::string>& argv, const std::string& organisationFile, const std::string& input);

// A file that exists for the length of one test.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& content);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// The banner every run starts with.
extern const char kBanner[];
