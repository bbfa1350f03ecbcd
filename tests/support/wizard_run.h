// A run and the wizard that shows it, in one object, for the tests that
// drive the real frame: they set the run's parameters on it and click its
// buttons. Each test's context is its own; nothing of the module is shared.
#pragma once

#include <string>
#include <utility>

#include "run/update_run.h"
#include "wizard/wizard_frame.h"

class WizardRun : public UpdateRun, public WizardFrame {
public:
    WizardRun(const ModuleContext& context, std::string iniFile, std::string manifestUrl)
        : UpdateRun(context), WizardFrame(static_cast<UpdateRun&>(*this))
    {
        iniFilePath = std::move(iniFile);
        manifestUrlOverride = std::move(manifestUrl);
    }
};
