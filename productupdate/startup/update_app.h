// The module's application object: its start-up runs at the first call of
// RD_XXXX and fills the context that every run of the module is handed.
#pragma once

#include "framework/app.h"
#include "module_context.h"

// The module's start-up on a context: the publisher's keys, the install
// folder, the language library and language, the host and user folders.
void StartModule(ModuleContext& context);

class UpdateApp : public framework::App {
public:
    BOOL InitInstance() override;

    ModuleContext context;  // filled once by the start-up, read by each run
};
