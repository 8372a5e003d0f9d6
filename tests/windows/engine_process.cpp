// The engine process driver on Windows: orvo.exe beside the test program, started with
// anonymous pipes on its standard input and output, as a Windows GUI starts it.
#include "engine_process.h"

#include <windows.h>

#include <cstdlib>

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
    if (!CreatePipe(&inRead, &inWrite, &inherit, bufferBytes) ||
        !CreatePipe(&outRead, &outWrite, &inherit, bufferBytes))
        abort();
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
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info))
        abort();
    CloseHandle(info.hThread);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    process = info.hProcess;
    toEngine = inWrite;
    fromEngine = outRead;
}

EngineProcess::~EngineProcess() {
    closeInput();
    if (process && waitExit(0) == -1) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, INFINITE);
    }
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

std::optional<std::string> EngineProcess::readLine(int timeoutMs) {
    const long long deadline = nowMs() + timeoutMs;
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            return line;
        }
        // Anonymous pipes have no timed read: look for bytes, and sleep a little while
        // there are none.
        DWORD available = 0;
        if (!PeekNamedPipe(fromEngine, nullptr, 0, nullptr, &available, nullptr)) return std::nullopt;
        if (available == 0) {
            if (nowMs() > deadline) return std::nullopt;
            Sleep(1);
            continue;
        }
        char chunk[4096];
        DWORD got = 0;
        if (!ReadFile(fromEngine, chunk, available < sizeof chunk ? available : sizeof chunk, &got,
                      nullptr) ||
            got == 0)
            return std::nullopt;
        pending.append(chunk, got);
    }
}

int EngineProcess::waitExit(int timeoutMs) {
    if (WaitForSingleObject(process, DWORD(timeoutMs)) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return int(code);
}
