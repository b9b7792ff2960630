// Command-line arguments: runs of characters with codes 1 to 32 separate
// arguments, a double quote opens a run up to the next one (or the end) that
// may hold blanks, and the quotes themselves are dropped. Argument 0 is the
// program's path.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> SplitCommandLine(const char* commandLine);

// The process's command line as UTF-8.
std::string CommandLine();

// Number of arguments after the program's path, in the process's command
// line or in the one given.
int ParamCount();
int ParamCount(const char* commandLine);
// Argument i (0: the program's path); empty when there is none.
std::string ParamStr(int index);
std::string ParamStr(int index, const char* commandLine);
