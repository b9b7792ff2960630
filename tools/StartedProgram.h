// Another program started from this one, as the outside tests and the
// start-up benchmark run brumik.exe: ended by force if it is still running
// when dropped, so that no process outlives its starter.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

// A command-line argument in double quotes, so that blanks stay inside it.
inline std::string Quoted(const std::string& argument) {
    return '"' + argument + '"';
}

class StartedProgram {
public:
    // Starts in folder (this program's current directory when empty).
    // Raises std::runtime_error when the program cannot be started.
    explicit StartedProgram(const std::string& commandLine, const std::string& folder = {}) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring line = ToWide(commandLine);
        if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            folder.empty() ? nullptr : ToWide(folder).c_str(), &startup, &info))
            throw std::runtime_error("cannot start " + commandLine);
        process_.Reset(info.hProcess);
        CloseHandle(info.hThread);
        id_ = info.dwProcessId;
    }
    ~StartedProgram() {
        if (Running()) {
            TerminateProcess(process_.Get(), 1);
            WaitForSingleObject(process_.Get(), 30000);
        }
    }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    DWORD Id() const { return id_; }
    HANDLE Process() const { return process_.Get(); }
    bool Running() const { return WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT; }
    bool WaitForExit(DWORD timeoutMs) const { return WaitForSingleObject(process_.Get(), timeoutMs) == WAIT_OBJECT_0; }
    DWORD ExitCode() const {
        DWORD code = STILL_ACTIVE;
        GetExitCodeProcess(process_.Get(), &code);
        return code;
    }

private:
    UniqueKernelHandle process_;
    DWORD id_ = 0;
};
