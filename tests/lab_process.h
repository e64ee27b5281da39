// The lab's program as a child process, started in a folder and environment of the
// test's choosing, its standard output and error kept in files.
#pragma once

#include <sys/types.h>

#include <set>
#include <string>
#include <vector>

struct LabProcess {
    pid_t pid = -1;
    int status = -1;       // wait status once exited() has seen it end
    std::string out, err;  // files holding what it wrote

    // dataFolder: the OSTREL_LAB_DATA to give it; null leaves the variable unset.
    bool start(const std::string& binary, const std::string& dir, std::vector<std::string> args = {},
               const char* dataFolder = nullptr, bool withDisplay = true);
    bool exited(double seconds);  // true once it has ended, within the time
    // Whether its main thread sleeps in select(), where GLUT waits for events (Xlib waits
    // for a reply in poll()); `sleeps` gets how often it has gone to sleep so far, so that
    // two looks with the same count show it asleep all the time between them.
    bool waitsForEvents(long& sleeps) const;
    bool waitsHidden() const;  // whether this system refuses the tests where it waits (as above)
    void kill();                  // ends it, if still running, and reaps it
    ~LabProcess();                // kills it and removes the output files
};

std::string slurp(const std::string& path);
// The regular files under a folder, as paths relative to it.
std::set<std::string> filesUnder(const std::string& dir);
