// The module's application object: its start-up runs at the first call of RD_XXXX.
#pragma once

#include "framework/app.h"

class UpdateApp : public framework::App {
public:
    BOOL InitInstance() override;
};
