// The command line of the host process, as a rundll-style launcher reads it.
#pragma once

// The text after the program name (quoted or not) and the blanks after it:
// the arguments exactly as they were written, quotes kept.
const char* SkipProgramName(const char* commandLine);
