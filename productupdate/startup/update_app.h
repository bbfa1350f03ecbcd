// The module's application object: its start-up runs when the host loads us.
#pragma once

#include "framework/app.h"

class UpdateApp : public framework::App {
public:
    BOOL InitInstance() override;
};
