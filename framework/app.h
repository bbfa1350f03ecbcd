// The application object of a module and the handle of the module itself.
#pragma once

#include "win.h"

namespace framework {

// One object of a class derived from App lives in a module as a global.
// The module's DllMain runs its InitInstance once, when the module is loaded.
class App {
public:
    App();
    virtual ~App();
    App(const App&) = delete;
    App& operator=(const App&) = delete;

    virtual BOOL InitInstance() { return TRUE; }

    static App* Current();
};

// The module that holds this code: our DLL, or a test program that links the
// same objects. Resources are always loaded from here, never from the host.
HINSTANCE ModuleInstance();

}  // namespace framework
