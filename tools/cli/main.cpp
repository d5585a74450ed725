// tuttiro-cli: the headless way into Tuttiro's core. Each sub-command lives in
// its own file; this table dispatches to them.
#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

struct Command {
  const char* name;
  int (*run)(int argc, char** argv);
  const char* summary;
};

constexpr Command kCommands[] = {
    {"info", tuttiro::cli::RunInfo,
     "show what a piece holds (tracks, tempo, meter, beats, events)"},
    {"settings", tuttiro::cli::RunSettings,
     "show the settings a piece carries, or write a copy with default settings"},
    {"trace-follow", tuttiro::cli::RunTraceFollow,
     "follow a recorded performance in simulated time and print the follower's course"},
    {"follow", tuttiro::cli::RunFollow,
     "play and follow a recorded soloist in simulated time and write the accompaniment"},
    {"play", tuttiro::cli::RunPlay,
     "play a piece as Play File does, in real time or rendered to a MIDI or WAV file"},
    {"devices", tuttiro::cli::RunDevices,
     "list the MIDI devices and the back ends that are missing"},
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out, "Usage: tuttiro-cli COMMAND [ARGS...]\n  or:  tuttiro-cli --version\n\n");
  std::fprintf(out,
               "The headless way into Tuttiro, the accompaniment player that follows a live\n"
               "soloist: inspect pieces, play them, follow recorded performances.\n\n");
  std::fprintf(out, "Commands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-14s %s\n", c.name, c.summary);
  std::fprintf(out, "\n'tuttiro-cli COMMAND --help' tells more about one command.\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  if (!std::strcmp(argv[1], "--version")) {
    std::printf("tuttiro-cli %s\n", TUTTIRO_VERSION);
    return 0;
  }
  for (const Command& c : kCommands) {
    if (!std::strcmp(argv[1], c.name)) return c.run(argc - 2, argv + 2);
  }
  std::fprintf(stderr, "tuttiro-cli: unknown command '%s'\n\n", argv[1]);
  PrintUsage(stderr);
  return 2;
}
