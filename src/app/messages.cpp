#include "app/messages.h"

#ifdef _WIN32
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600  // the handle list for the second run: Vista and later
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

static const char* const STOPPED_TITLE = "Ostrel Lab stopped";
// In the second run's environment: that run is the lab, and never starts a third.
static const wchar_t* const SECOND_RUN = L"OSTREL_LAB_SECOND_RUN";
// Ends what freeglut says while it starts (under Wine, a warning on every run): the box
// puts what stopped the lab, written after it, first. No line end, which the runtime's
// text mode would change.
static const char STARTED_MARK = '\x1f';
static const DWORD ERROR_SEVERITY = 0xC0000000;  // the top bits of an exception's status

struct ExceptionName { DWORD code; const char* name; };
static const ExceptionName EXCEPTION_NAMES[] = {
    {0xC0000005, "an access violation"},          {0xC00000FD, "a stack overflow"},
    {0xC000001D, "an illegal instruction"},       {0xC0000094, "an integer division by zero"},
    {0xC0000409, "a fast fail (a check failed)"}, {0xC0000374, "a corrupted heap"},
};

// What the box says: how the run ended when by an exception, then the lab's own lines,
// then freeglut's start-up words.
static std::string boxText(const std::string& kept, DWORD status)
{
    std::string text;
    if ((status & ERROR_SEVERITY) == ERROR_SEVERITY) {
        char line[160];
        const char* name = "an exception";
        for (const ExceptionName& e : EXCEPTION_NAMES)
            if (e.code == status) name = e.name;
        snprintf(line, sizeof line, "The lab ended by exception 0x%08lX (%s).\n", (unsigned long)status, name);
        text = line;
    }
    size_t mark = kept.find(STARTED_MARK);
    std::string glut = mark == std::string::npos ? "" : kept.substr(0, mark);
    text += mark == std::string::npos ? kept : kept.substr(mark + 1);
    if (!glut.empty()) text += (text.empty() ? "" : "\n") + glut;
    if (text.empty()) text = "The lab ended with status " + std::to_string(status) + ".";
    return text;
}

// The lab run again as this run was started (a shortcut's window state included), its
// standard error in `kept`, the one handle it inherits: false when it cannot be started.
static bool runKeeping(HANDLE kept, DWORD& status)
{
    std::wstring program(MAX_PATH, L'\0');
    DWORD n;
    while ((n = GetModuleFileNameW(NULL, &program[0], (DWORD)program.size())) == program.size())
        program.resize(program.size() * 2);
    if (n == 0) return false;
    program.resize(n);

    STARTUPINFOEXW start = {};
    GetStartupInfoW(&start.StartupInfo);
    start.StartupInfo.cb = sizeof start;
    start.StartupInfo.dwFlags &= ~STARTF_USEHOTKEY;  // its hot key would sit where standard input goes
    start.StartupInfo.dwFlags |= STARTF_USESTDHANDLES;
    start.StartupInfo.hStdInput = start.StartupInfo.hStdOutput = NULL;
    start.StartupInfo.hStdError = kept;
    start.StartupInfo.cbReserved2 = 0;  // the C runtime's own hand-over of its files
    start.StartupInfo.lpReserved2 = NULL;
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(NULL, 1, 0, &size);
    std::vector<char> attributes(size);
    start.lpAttributeList = (LPPROC_THREAD_ATTRIBUTE_LIST)attributes.data();
    if (!InitializeProcThreadAttributeList(start.lpAttributeList, 1, 0, &size)) return false;
    PROCESS_INFORMATION lab;
    bool started = UpdateProcThreadAttribute(start.lpAttributeList, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &kept,
                                             sizeof kept, NULL, NULL) &&
                   SetEnvironmentVariableW(SECOND_RUN, L"1") &&
                   CreateProcessW(program.c_str(), GetCommandLineW(), NULL, NULL, TRUE, EXTENDED_STARTUPINFO_PRESENT,
                                  NULL, NULL, &start.StartupInfo, &lab);
    DeleteProcThreadAttributeList(start.lpAttributeList);
    if (!started) return false;
    WaitForSingleObject(lab.hProcess, INFINITE);
    if (!GetExitCodeProcess(lab.hProcess, &status)) status = 1;
    CloseHandle(lab.hProcess);
    CloseHandle(lab.hThread);
    return true;
}

static UINT consoleCodePage;
static void restoreConsole() { SetConsoleOutputCP(consoleCodePage); }

void keepMessagesInSight()
{
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode;
    if (err && err != INVALID_HANDLE_VALUE) {
        // A console shows bytes in its own code page; the lab's names are in the program's.
        if (GetConsoleMode(err, &mode) && (consoleCodePage = GetConsoleOutputCP()) != GetACP() &&
            SetConsoleOutputCP(GetACP()))
            atexit(restoreConsole);
        return;  // a console or a file shows them
    }
    if (GetEnvironmentVariableW(SECOND_RUN, NULL, 0)) return;  // no standard error even here: be the lab
    // C's stderr cannot be pointed elsewhere once the runtime has found none, so a second
    // run gets one from its start. The file goes when its last handle is closed, and at
    // once if it cannot be opened so. Whatever fails here leaves this run to be the lab.
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"lab", 0, name)) return;
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    const DWORD SHARED = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    HANDLE kept = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, SHARED, &inherited, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, NULL);
    if (kept == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        return;
    }
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
    if (status != 0) MessageBoxA(NULL, boxText(text, status).c_str(), STOPPED_TITLE, MB_OK | MB_ICONERROR);
    ExitProcess(status);
}

void glutHasStarted()
{
    if (GetEnvironmentVariableW(SECOND_RUN, NULL, 0)) fputc(STARTED_MARK, stderr);
}
#else
void keepMessagesInSight() {}
void glutHasStarted() {}
#endif
