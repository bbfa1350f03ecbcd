// The application object of a module and the handle of the module itself.
#pragma once

#include "win.h"

namespace framework {

// One object of a class derived from App lives in a module as a global. Its
// InitInstance is the module's start-up: it runs at the module's first call
// (Start), never in DllMain, because a start-up that loads or calls other
// libraries can deadlock the process under the loader lock.
class App {
public:
    App();
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    virtual BOOL InitInstance() { return TRUE; }

    // Runs InitInstance once for the life of the module: the first caller
    // runs it while any other thread that calls meanwhile waits for it, and
    // every caller gets its outcome. True when it returned TRUE; a start-up
    // that returned FALSE or threw has failed for good, and is not retried.
    bool Start();

    static App* Current();

private:
    static BOOL CALLBACK RunStart(PINIT_ONCE, PVOID app, PVOID*);

    INIT_ONCE startOnce_ = INIT_ONCE_STATIC_INIT;
    bool started_ = false;
};

// The module that holds this code: our DLL, or a test program that links the
// same objects. Resources are always loaded from here, never from the host.
HINSTANCE ModuleInstance();

}  // namespace framework
