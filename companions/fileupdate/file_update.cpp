// The product's file-by-file updater, our own small one: for now it only
// reports the file list it was handed.
#include <string>

#include "framework/debug_output.h"

extern "C" void __stdcall Etadpu(const char* listUrl)
{
    try {
        framework::DebugOutput(std::string("Etadpu: ") + (listUrl ? listUrl : ""));
    } catch (...) {
        // The caller is another module: nothing may unwind into it.
    }
}
