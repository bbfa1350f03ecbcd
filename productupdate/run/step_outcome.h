// What a step of a run came to. The wizard's page order takes the next page
// from it; the run itself never names a page.
#pragma once

enum class StepOutcome {
    Next,            // the user asked to go on
    Offered,         // the manifest offers a package to fetch
    NothingOffered,  // the manifest offers nothing to this installation
    Failed,          // the step's transfer failed, or its file cannot be trusted
    Ended,           // the run has done all it does
};
