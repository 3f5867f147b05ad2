// Session scripts: one action a line, '#' starts a comment. The whole script
// is parsed before anything runs, so a line that does not parse stops it
// before any effect ("FILE:LINE: message", exit code 2).
#pragma once

#include <string>

extern const char* const kScriptHelp;

// Parses and checks every line as RunScript does before anything runs, and
// runs nothing (what a fuzzer feeds): "" when all is well, else "LINE: message".
std::string CheckScript(const std::string& script);

// Runs the script; the exit code (0 done, 1 a failed action, 2 a line that
// does not parse, 3 an expectation that did not hold). Messages go to stderr.
int RunScript(const std::string& path, const std::string& bundle);
