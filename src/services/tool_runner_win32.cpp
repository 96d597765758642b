#include "tool_runner.h"

#include <windows.h>

namespace {

// A temporary file for the tool's output, deleted when the last handle to it
// closes (a server the tool leaves behind may hold one for a while).
struct OutputFile {
    char path[MAX_PATH] = {};
    HANDLE write = INVALID_HANDLE_VALUE;  // the tool's, inheritable

    OutputFile()
    {
        char folder[MAX_PATH];
        const DWORD length = GetTempPathA(MAX_PATH, folder);
        if (length == 0 || length >= MAX_PATH || !GetTempFileNameA(folder, "vlm", 0, path))
            return;
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        write = CreateFileA(path, FILE_APPEND_DATA | SYNCHRONIZE | DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                            nullptr);
        if (write == INVALID_HANDLE_VALUE)
            DeleteFileA(path);
    }
    ~OutputFile()
    {
        if (write != INVALID_HANDLE_VALUE)
            CloseHandle(write);
    }

    // What the tool wrote, from the start, up to the read limit; read through
    // a handle of our own, so the tool's file position does not matter.
    void read(ToolRun& run) const
    {
        const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return;
        run.output.resize(TOOL_OUTPUT_READ_LIMIT + 1);
        DWORD have = 0, count = 0;
        while (have < run.output.size() &&
               ReadFile(file, &run.output[have], static_cast<DWORD>(run.output.size() - have), &count, nullptr) &&
               count > 0)
            have += count;
        CloseHandle(file);
        run.outputCut = have > TOOL_OUTPUT_READ_LIMIT;
        run.output.resize(have > TOOL_OUTPUT_READ_LIMIT ? TOOL_OUTPUT_READ_LIMIT : have);
    }
};

}  // namespace

ToolRun launchAndWait(const std::string& program, const ToolArguments& arguments)
{
    const std::optional<std::string> commandLine = buildCommandLine(program, arguments);
    if (!commandLine)
        return {};
    std::vector<char> writable(commandLine->begin(), commandLine->end());
    writable.push_back('\0');

    const OutputFile output;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                     OPEN_EXISTING, 0, nullptr);
    if (output.write == INVALID_HANDLE_VALUE || input == INVALID_HANDLE_VALUE) {
        if (input != INVALID_HANDLE_VALUE)
            CloseHandle(input);
        return {};
    }

    // The tool inherits these two handles and nothing else: not the
    // listeners' sockets (a server holding port 2904 would keep the next
    // Velmora deaf), not the log.
    HANDLE inherited[] = {input, output.write};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributeSpace(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeSpace.data());
    ToolRun run;
    if (InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        if (UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, sizeof inherited,
                                      nullptr, nullptr)) {
            STARTUPINFOEXA startup{};
            startup.StartupInfo.cb = sizeof startup;
            startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
            startup.StartupInfo.hStdInput = input;
            startup.StartupInfo.hStdOutput = output.write;
            startup.StartupInfo.hStdError = output.write;
            startup.lpAttributeList = attributes;
            // Its output goes to the log: no console window of its own.
            PROCESS_INFORMATION process{};
            if (CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE,
                               CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT, nullptr, nullptr,
                               &startup.StartupInfo, &process)) {
                WaitForSingleObject(process.hProcess, INFINITE);
                DWORD exitCode = 0;
                GetExitCodeProcess(process.hProcess, &exitCode);
                CloseHandle(process.hThread);
                CloseHandle(process.hProcess);
                run.started = true;
                run.exitCode = exitCode;
            }
        }
        DeleteProcThreadAttributeList(attributes);
    }
    CloseHandle(input);
    if (run.started)
        output.read(run);
    return run;
}
