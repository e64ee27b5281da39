#include "lab_process.h"

#include "xgrab.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

bool LabProcess::start(const std::string& binary, const std::string& dir, std::vector<std::string> args,
                       const char* dataFolder, bool withDisplay)
{
    static int runs;
    out = "/tmp/ostrel-run-" + std::to_string(getpid()) + "-" + std::to_string(++runs) + ".out";
    err = out + ".err";
    pid = fork();
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(126);
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        if (dataFolder) setenv("OSTREL_LAB_DATA", dataFolder, 1);
        else unsetenv("OSTREL_LAB_DATA");
        if (!withDisplay) unsetenv("DISPLAY");
        std::vector<char*> argv = {(char*)binary.c_str()};
        for (std::string& a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        execv(binary.c_str(), argv.data());
        _exit(127);
    }
    return pid > 0;
}

bool LabProcess::exited(double seconds)
{
    double end = secondsNow() + seconds;
    while (secondsNow() < end) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            pid = -1;
            return true;
        }
        sleepSeconds(0.02);
    }
    return false;
}

bool LabProcess::waitsForEvents(long& sleeps) const
{
    if (pid <= 0) return false;
    std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/";
    std::string stat = slurp(task + "stat");
    size_t name = stat.rfind(')');  // the command name may hold spaces and parentheses
    if (name == std::string::npos || stat.compare(name, 3, ") S") != 0) return false;
    long call = -1;
    if (!(std::istringstream(slurp(task + "syscall")) >> call)) return false;  // "running" while it runs
    bool selecting = call == SYS_pselect6;
#ifdef SYS_select
    selecting = selecting || call == SYS_select;
#endif
    std::string status = slurp(task + "status");
    size_t at = status.find("\nvoluntary_ctxt_switches:");
    if (!selecting || at == std::string::npos) return false;
    sleeps = std::stol(status.substr(at + 25));
    return true;
}

bool LabProcess::waitsHidden() const
{
    std::string task = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/";
    std::string stat = slurp(task + "stat");
    bool alive = pid > 0 && !stat.empty() && stat.find(") Z") == std::string::npos;
    return alive && slurp(task + "syscall").empty();
}

void LabProcess::kill()
{
    if (pid <= 0) return;
    ::kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

LabProcess::~LabProcess()
{
    kill();
    unlink(out.c_str());
    unlink(err.c_str());
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::set<std::string> filesUnder(const std::string& dir)
{
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
        if (entry.is_regular_file() && !entry.is_symlink())
            files.insert(std::filesystem::relative(entry.path(), dir).generic_string());
    return files;
}
