#include "tool_runner.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

const char kBanner[] =
    "Tamberlyn Utility - Caldrose.exe (IExchangeManageStore), Version 1.0\n"
    "Copyright (c) Tamberlyn. All rights reserved.\n";

TemporaryFile::TemporaryFile(const std::string& content) {
  char name[] = "/tmp/caldrose-test-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) throw std::runtime_error("cannot create a temporary file");
  path_ = name;
  const ssize_t written = write(fd, content.data(), content.size());
  close(fd);
  if (written != static_cast<ssize_t>(content.size())) throw std::runtime_error("cannot write " + path_);
}

TemporaryFile::~TemporaryFile() { unlink(path_.c_str()); }

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The C runtime's text mode ends lines with CR LF on Windows.
std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

}  // namespace

std::string BuildName(const testing::TestParamInfo<Build>& info) {
  return info.param == Build::Linux ? "Linux" : "Windows";
}

bool CanRun(Build build) { return build == Build::Linux || getenv("CALDROSE_WINE_PREFIX") != nullptr; }

ToolRun RunTool(Build build, const std::vector<std::string>& args, const std::string& organisationFile,
                const std::string& input) {
  std::vector<std::string> argv = build == Build::Linux
                                      ? std::vector<std::string>{CALDROSE_BINARY}
                                      : std::vector<std::string>{"wine", "C:\\caldrose\\caldrose.exe"};
  argv.insert(argv.end(), args.begin(), args.end());
  ToolRun run = RunCommand(argv, organisationFile, input);
  if (build == Build::Windows) {
    run.out = WithoutCarriageReturns(run.out);
    run.err = WithoutCarriageReturns(run.err);
  }
  return run;
}

ToolRun RunCommand(const std::vector<std::string>& command, const std::string& organisationFile,
                   const std::string& input) {
  TemporaryFile in(input), out(""), err("");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int inFd = open(in.path().c_str(), O_RDONLY);
    const int outFd = open(out.path().c_str(), O_WRONLY | O_TRUNC);
    const int errFd = open(err.path().c_str(), O_WRONLY | O_TRUNC);
    if (inFd < 0 || outFd < 0 || errFd < 0) _exit(127);
    dup2(inFd, 0);
    dup2(outFd, 1);
    dup2(errFd, 2);
    if (organisationFile.empty())
      unsetenv("CALDROSE_ORGANISATION");
    else
      setenv("CALDROSE_ORGANISATION", organisationFile.c_str(), 1);
    std::vector<char*> argv;
    for (const std::string& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ToolRun run;
  run.out = ReadAll(out.path());
  run.err = ReadAll(err.path());
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
