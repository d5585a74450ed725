// Runs tuttiro-cli with arguments and captures its exit status and output
// (stdout and stderr together), for the command-line tests.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace tuttiro::test {

struct CliRun {
  int status;
  std::string out;
};

inline CliRun RunCli(const std::string& args) {
  std::string command = std::string(TUTTIRO_CLI) + " " + args + " 2>&1";
  CliRun run{-1, {}};
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buf;
  while (size_t n = fread(buf.data(), 1, buf.size(), pipe)) run.out.append(buf.data(), n);
  int raw = pclose(pipe);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

}  // namespace tuttiro::test
