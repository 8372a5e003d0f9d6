// The engine process driver on Windows: orvo.exe beside the test program, started with
// anonymous pipes on its standard input and output, as a Windows GUI starts it.
#include "engine_process.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

static long long nowMs() { return static_cast<long long>(GetTickCount64()); }

// orvo.exe in the folder of the running test program.
static std::wstring enginePath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L"\\/") + 1);
    return folder + L"orvo.exe";
}

EngineProcess::EngineProcess() {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite;
    // Buffers as large as Linux pipes have: the tests send several commands before they
    // read, and with the default few kilobytes both sides would end up waiting to write.
    const DWORD bufferBytes = 1 << 16;
    // A failure to start is told and the test goes on with no engine, every read and wait
    // failing at once: abort() would end the test program without a word.
    if (!CreatePipe(&inRead, &inWrite, &inherit, bufferBytes)) {
        ADD_FAILURE() << "CreatePipe failed with error " << GetLastError();
        return;
    }
    if (!CreatePipe(&outRead, &outWrite, &inherit, bufferBytes)) {
        ADD_FAILURE() << "CreatePipe failed with error " << GetLastError();
        CloseHandle(inRead);
        CloseHandle(inWrite);
        return;
    }
    // Only the engine's ends are inherited.
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    std::wstring command = L"\"" + enginePath() + L"\"";
    const bool started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info);
    const DWORD error = GetLastError();
    CloseHandle(inRead);
    CloseHandle(outWrite);
    if (!started) {
        ADD_FAILURE() << "CreateProcessW failed with error " << error << " for orvo.exe";
        CloseHandle(inWrite);
        CloseHandle(outRead);
        return;
    }
    CloseHandle(info.hThread);
    process = info.hProcess;
    toEngine = inWrite;
    fromEngine = outRead;
}

EngineProcess::~EngineProcess() {
    closeInput();
    if (process && waitExit(0) == -1) {
        TerminateProcess(process, 1);
        if (waitExit(KillBoundMs) == -1)
            ADD_FAILURE() << "orvo.exe was still running " << KillBoundMs << " ms after TerminateProcess";
    }
    reportReadEnds();
    if (process) CloseHandle(process);
    if (fromEngine) CloseHandle(fromEngine);
}

void EngineProcess::sendRaw(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        if (!toEngine ||
            !WriteFile(toEngine, bytes.data() + done, DWORD(bytes.size() - done), &written, nullptr))
            return;
        done += written;
    }
}

void EngineProcess::closeInput() {
    if (toEngine) CloseHandle(toEngine);
    toEngine = nullptr;
}

// The end of a read whose call failed: a broken pipe is the engine's output closed, as
// when the engine has ended; anything else is a failure of the pipe, told with its error.
std::optional<std::string> EngineProcess::noLineAfter(const char* call) {
    const DWORD error = GetLastError();
    if (error == ERROR_BROKEN_PIPE) {
        const int code = waitExit(100);  // the engine may still be on its way out
        return noLine(code == -1
                          ? std::string("the engine closed its output while running")
                          : "the engine closed its output and exited with code " + std::to_string(code));
    }
    return noLine(std::string(call) + " failed with error " + std::to_string(error));
}

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        if (!fromEngine) return noLine("no engine was started");
        // Anonymous pipes have no timed read: look for bytes, and sleep a little while
        // there are none.
        DWORD available = 0;
        if (!PeekNamedPipe(fromEngine, nullptr, 0, nullptr, &available, nullptr))
            return noLineAfter("PeekNamedPipe");
        if (available == 0) {
            if (nowMs() > deadline) return noLine("no line within " + std::to_string(timeoutMs) + " ms");
            Sleep(1);
            continue;
        }
        char chunk[4096];
        DWORD got = 0;
        if (!ReadFile(fromEngine, chunk, available < sizeof chunk ? available : sizeof chunk, &got, nullptr))
            return noLineAfter("ReadFile");
        pending.append(chunk, got);
    }
}

int EngineProcess::waitExit(int timeoutMs) {
    if (!process || WaitForSingleObject(process, DWORD(timeoutMs)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return int(code);
}
