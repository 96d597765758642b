#include "tool_runner.h"

#include "wide_text.h"

#include <windows.h>

namespace {

// The tool's standard handles: input from the null device, output and error
// to a temporary file, deleted when the last handle to it closes (a server
// the tool leaves behind may hold one for a while). Both inheritable. When
// no such file can be made, the output goes to the null device: the tool is
// what matters, what it says comes second.
struct ToolHandles {
    WideString path;  // of the output file, empty when there is none
    HANDLE input = INVALID_HANDLE_VALUE;
    HANDLE output = INVALID_HANDLE_VALUE;

    ToolHandles()
    {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                            0, nullptr);
        wchar_t folder[MAX_PATH], file[MAX_PATH];
        const DWORD length = GetTempPathW(MAX_PATH, folder);
        if (length != 0 && length < MAX_PATH && GetTempFileNameW(folder, L"vlm", 0, file)) {
            output = CreateFileW(file, FILE_APPEND_DATA | SYNCHRONIZE | DELETE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inheritable, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
            if (output != INVALID_HANDLE_VALUE)
                path = file;
            else
                DeleteFileW(file);
        }
        if (output == INVALID_HANDLE_VALUE)
            output = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                 OPEN_EXISTING, 0, nullptr);
    }
    ~ToolHandles()
    {
        for (HANDLE handle : {input, output}) {
            if (handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
        }
    }

    bool usable() const { return input != INVALID_HANDLE_VALUE && output != INVALID_HANDLE_VALUE; }

    // What the tool wrote, from the start, up to the read limit; read through
    // a handle of our own, so the tool's file position does not matter.
    void readOutput(ToolRun& run) const
    {
        run.outputCaptured = !path.empty();
        if (path.empty())
            return;
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return;
        // Each read goes on where the last one ended, which is the offset asked for.
        readToolOutput(run, [file](char* buffer, std::size_t size, std::size_t) {
            DWORD count = 0;
            return ReadFile(file, buffer, static_cast<DWORD>(size), &count, nullptr) ? static_cast<long long>(count)
                                                                                      : -1LL;
        });
        CloseHandle(file);
    }
};

// Starts the command line with the handles as its standard ones, without a
// console window (its output goes to the log). It inherits those handles and
// nothing else: not the listeners' sockets (a server holding port 2904 would
// keep the next Velmora deaf), not the log.
bool startWithOnly(const ToolHandles& handles, wchar_t* commandLine, PROCESS_INFORMATION& process)
{
    HANDLE inherited[] = {handles.input, handles.output};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributeSpace(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeSpace.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size))
        return false;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = handles.input;
    startup.StartupInfo.hStdOutput = handles.output;
    startup.StartupInfo.hStdError = handles.output;
    startup.lpAttributeList = attributes;
    const auto create = [&] {
        return CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE,
                              CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                              &startup.StartupInfo, &process) != 0;
    };
    // Wine now and then loses a new process before it runs, as
    // ERROR_INTERNAL_ERROR (about one launch in a few thousand): a second try
    // starts it. Nothing about the path fails that way.
    const bool started = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                   sizeof inherited, nullptr, nullptr) &&
                         (create() || (GetLastError() == ERROR_INTERNAL_ERROR && create()));
    DeleteProcThreadAttributeList(attributes);
    return started;
}

}  // namespace

ToolRun launchWithin(const std::string& program, const ToolArguments& arguments, std::uint32_t limitMs)
{
    const std::optional<std::string> commandLine = buildCommandLine(program, arguments);
    if (!commandLine)
        return {};
    const ToolHandles handles;
    if (!handles.usable())
        return {};
    WideString writable = toUtf16(*commandLine);

    PROCESS_INFORMATION process{};
    if (!startWithOnly(handles, writable.data(), process))
        return {};
    ToolRun run;
    run.started = true;
    // Only the tool itself is ended: a server it started has a process of its own.
    const DWORD waited = WaitForSingleObject(process.hProcess, limitMs);
    run.timedOut = waited == WAIT_TIMEOUT;
    if (run.timedOut && TerminateProcess(process.hProcess, 1))
        WaitForSingleObject(process.hProcess, 5000);
    DWORD exitCode = 0;
    run.exitCodeKnown = waited == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &exitCode);
    run.exitCode = run.exitCodeKnown ? exitCode : 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    handles.readOutput(run);
    return run;
}
