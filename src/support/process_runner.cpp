// Starting a program with posix_spawn from an argument vector, waiting for it with a deadline and
// killing its whole process group when the deadline passes.

#include "support/process_runner.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace tabsmith {
namespace {

// Where a name is looked up when PATH is not set at all, as the shells do.
constexpr const char *kDefaultSearchPath = "/usr/local/bin:/usr/bin:/bin";
// Polling the child: first often (a quick program is not kept waiting), then at this pace.
constexpr auto kFirstPoll = std::chrono::milliseconds(1);
constexpr auto kLongestPoll = std::chrono::milliseconds(25);
// How long the killed processes of a group are given to be gone.
constexpr auto kGroupEndWait = std::chrono::seconds(1);

bool is_executable_file(const std::string &path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Our environment with the request's entries in place of those of the same names.
std::vector<std::string> child_environment(const std::vector<std::string> &overrides) {
    std::vector<std::string> entries;
    for (char **entry = environ; entry && *entry; ++entry) {
        std::string_view text(*entry);
        bool replaced = false;
        for (const std::string &override : overrides) {
            const std::size_t equals = override.find('=');
            if (equals != std::string::npos && text.size() > equals && text.compare(0, equals + 1, override, 0, equals + 1) == 0)
                replaced = true;
        }
        if (!replaced) entries.emplace_back(text);
    }
    entries.insert(entries.end(), overrides.begin(), overrides.end());
    return entries;
}

std::vector<char *> pointers_to(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    pointers.reserve(texts.size() + 1);
    for (std::string &text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

// The spawn settings, released however the run ends.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    int failed = 0;

    explicit SpawnSetup(const std::string &output_path) {
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawnattr_init(&attributes);
        const char *output = output_path.empty() ? "/dev/null" : output_path.c_str();
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        // A group of its own (pgroup 0: the child's pid), so that a kill reaches every process
        // it starts; our blocked or ignored signals are no business of the child's.
        const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        for (int rc : {::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0),
                       ::posix_spawn_file_actions_addopen(&actions, 1, output, O_WRONLY | O_CREAT | O_TRUNC, 0600),
                       ::posix_spawn_file_actions_adddup2(&actions, 1, 2),
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
                       // The caller's files, sockets and pipes stay the caller's.
                       ::posix_spawn_file_actions_addclosefrom_np(&actions, 3),
#endif
                       ::posix_spawnattr_setpgroup(&attributes, 0), ::posix_spawnattr_setsigmask(&attributes, &none),
                       ::posix_spawnattr_setsigdefault(&attributes, &all), ::posix_spawnattr_setflags(&attributes, flags)})
            if (rc != 0 && failed == 0) failed = rc;
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions);
        ::posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup &) = delete;
    SpawnSetup &operator=(const SpawnSetup &) = delete;
};

// Whether the child has ended, without collecting it: while it is not collected its process
// group id cannot be taken by another process, so killing the group stays safe. false when the
// child is still running; true with `gone` when it was collected elsewhere (SIGCHLD ignored).
bool child_has_ended(pid_t pid, bool &gone) {
    siginfo_t info;
    for (;;) {
        std::memset(&info, 0, sizeof info);
        if (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) return info.si_pid == pid;
        if (errno == EINTR) continue;
        gone = true;
        return true;
    }
}

int collect_child(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return 0;
    return status;
}

// A killed process is gone only once the system has taken it down: wait for that, so that the
// files the group had open (in a folder its caller is about to remove) are all closed.
void wait_for_group_end(pid_t group) {
    const auto until = std::chrono::steady_clock::now() + kGroupEndWait;
    while (::kill(-group, 0) == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(kFirstPoll);
}

}  // namespace

std::string find_program(const std::string &name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return is_executable_file(name) ? name : std::string();
    const char *variable = std::getenv("PATH");
    std::string_view folders = variable ? variable : kDefaultSearchPath;
    while (true) {
        const std::size_t colon = folders.find(':');
        std::string folder(folders.substr(0, colon));
        if (folder.empty()) folder = ".";
        std::string candidate = folder + "/" + name;
        if (is_executable_file(candidate)) return candidate;
        if (colon == std::string_view::npos) return {};
        folders.remove_prefix(colon + 1);
    }
}

ProgramRun run_program(const ProgramRequest &request) {
    ProgramRun run;
    const std::string path = find_program(request.program);
    if (path.empty()) {
        run.end = ProgramEnd::kNotFound;
        return run;
    }
    std::vector<std::string> argument_texts{path};
    argument_texts.insert(argument_texts.end(), request.arguments.begin(), request.arguments.end());
    std::vector<std::string> environment_texts = child_environment(request.environment);
    std::vector<char *> arguments = pointers_to(argument_texts);
    std::vector<char *> environment = pointers_to(environment_texts);

    SpawnSetup setup(request.output_path);
    pid_t pid = 0;
    int rc = setup.failed ? setup.failed
                          : ::posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attributes, arguments.data(),
                                          environment.data());
    if (rc != 0) {
        run.end = rc == ENOENT || rc == EACCES || rc == ENOEXEC ? ProgramEnd::kNotFound : ProgramEnd::kNotStarted;
        run.status = rc;
        return run;
    }

    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                              std::chrono::duration<double>(request.timeout_seconds));
    auto pause = std::chrono::steady_clock::duration(kFirstPoll);
    bool gone = false, timed_out = false;
    while (!child_has_ended(pid, gone)) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            timed_out = true;
            break;
        }
        std::this_thread::sleep_for(std::min(pause, deadline - now));
        pause = std::min<std::chrono::steady_clock::duration>(pause * 2, kLongestPoll);
    }
    if (gone) {
        run.end = ProgramEnd::kExited;   // collected by someone else: its status is unknown
        return run;
    }
    // Whatever the program left behind in its group goes with it (the child is not collected
    // yet, so the group id still names its group).
    ::kill(-pid, SIGKILL);
    const int status = collect_child(pid);
    wait_for_group_end(pid);
    if (timed_out) {
        run.end = ProgramEnd::kTimedOut;
    } else if (WIFSIGNALED(status)) {
        run.end = ProgramEnd::kSignalled;
        run.status = WTERMSIG(status);
    } else {
        run.end = ProgramEnd::kExited;
        run.status = WEXITSTATUS(status);
    }
    return run;
}

}  // namespace tabsmith
