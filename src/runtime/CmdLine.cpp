#include "runtime/CmdLine.h"

#include <windows.h>

#include "runtime/SysUtils.h"

namespace {
bool IsSeparator(char c) {
    auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}
}  // namespace

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> args;
    const char* p = commandLine ? commandLine : "";
    for (;;) {
        while (IsSeparator(*p)) ++p;
        if (*p == '\0') break;
        std::string arg;
        while (*p != '\0' && !IsSeparator(*p)) {
            if (*p == '"') {
                ++p;
                while (*p != '\0' && *p != '"') arg += *p++;
                if (*p == '"') ++p;
            } else {
                arg += *p++;
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string CommandLine() { return ToUtf8(GetCommandLineW()); }

int ParamCount() { return ParamCount(CommandLine().c_str()); }

int ParamCount(const char* commandLine) {
    auto args = SplitCommandLine(commandLine);
    return args.empty() ? 0 : int(args.size()) - 1;
}

std::string ParamStr(int index) { return ParamStr(index, CommandLine().c_str()); }

// The program's path comes from the module, not from the command line, which
// may name it without its folder.
std::string ParamStr(int index, const char* commandLine) {
    if (index == 0) {
        return ModuleFileName();
    }
    auto args = SplitCommandLine(commandLine);
    return index > 0 && index < int(args.size()) ? args[size_t(index)] : std::string();
}
