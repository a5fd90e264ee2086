// Running another program to its end: started from an argument vector (never through a shell),
// in a process group of its own, its output into a file, and killed with its group at a time limit.
#pragma once

#include <string>
#include <vector>

namespace tabsmith {

// How a run ended.
enum class ProgramEnd {
    kExited,      // ProgramRun::status holds the exit status
    kSignalled,   // ProgramRun::status holds the signal that ended it
    kTimedOut,    // killed, with every process of its group, when its time ran out
    kNotFound,    // no executable file under that name (or on PATH)
    kNotStarted,  // the system could not start it; ProgramRun::status holds errno
};

struct ProgramRun {
    ProgramEnd end = ProgramEnd::kNotStarted;
    int status = 0;
};

struct ProgramRequest {
    std::string program;                       // a path (holding "/") or a name looked up on PATH
    std::vector<std::string> arguments;        // after the program's own name
    std::vector<std::string> environment;      // "NAME=value" entries replacing or adding to ours
    std::string output_path;                   // standard output and error (created); empty: discarded
    double timeout_seconds = 60;
};

// The executable file a program name stands for: the name itself when it holds a "/", else the
// first executable regular file of that name in the folders of PATH. Empty when there is none.
std::string find_program(const std::string &name);

// Runs the program and waits for it, at most timeout_seconds. Standard input is /dev/null, the
// caller's other descriptors are closed in the child and its signals start at their defaults.
// Processes the program leaves running in its group are killed when it ends.
ProgramRun run_program(const ProgramRequest &request);

}  // namespace tabsmith
