#include "app.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace framework {

namespace {
App* current = nullptr;
}

App::App() { current = this; }

App::~App()
{
    if (current == this)
        current = nullptr;
}

App* App::Current() { return current; }

HINSTANCE ModuleInstance() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

}  // namespace framework
