// The sub-commands of tuttiro-cli; each lives in its own source file.
#pragma once

namespace tuttiro::cli {

// Each takes the arguments after the sub-command's name and returns the exit status.
int RunInfo(int argc, char** argv);
int RunDevices(int argc, char** argv);
int RunTraceFollow(int argc, char** argv);
int RunSettings(int argc, char** argv);
int RunPlay(int argc, char** argv);
int RunFollow(int argc, char** argv);

}  // namespace tuttiro::cli
