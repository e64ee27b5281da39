#include "app/messages.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string>

static const char* const STOPPED_TITLE = "Ostrel Lab stopped";

// The lab run again, its standard error in `kept`: false when it cannot be started.
static bool runKeeping(HANDLE kept, DWORD& status)
{
    char program[MAX_PATH];
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    start.dwFlags = STARTF_USESTDHANDLES;
    start.hStdError = kept;
    PROCESS_INFORMATION lab;
    if (!GetModuleFileNameA(NULL, program, MAX_PATH) ||
        !CreateProcessA(program, GetCommandLineA(), NULL, NULL, TRUE, 0, NULL, NULL, &start, &lab))
        return false;
    WaitForSingleObject(lab.hProcess, INFINITE);
    if (!GetExitCodeProcess(lab.hProcess, &status)) status = 1;
    CloseHandle(lab.hProcess);
    CloseHandle(lab.hThread);
    return true;
}

void keepMessagesInSight()
{
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err && err != INVALID_HANDLE_VALUE) return;  // a console or a file shows them
    // C's stderr cannot be pointed elsewhere once the runtime has found none, so a second
    // run gets one from its start. The file goes when its last handle is closed. Whatever
    // fails here leaves this run to be the lab, as it would be without the box.
    char folder[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, "lab", 0, name)) return;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    HANDLE kept = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (kept == INVALID_HANDLE_VALUE) return;
    DWORD status;
    if (!runKeeping(kept, status)) {
        CloseHandle(kept);
        return;
    }
    std::string text;
    char chunk[512];
    DWORD n;
    SetFilePointer(kept, 0, NULL, FILE_BEGIN);
    while (ReadFile(kept, chunk, sizeof chunk, &n, NULL) && n > 0) text.append(chunk, n);
    CloseHandle(kept);
    if (status != 0 && !text.empty()) MessageBoxA(NULL, text.c_str(), STOPPED_TITLE, MB_OK | MB_ICONERROR);
    ExitProcess(status);
}
#else
void keepMessagesInSight() {}
#endif
