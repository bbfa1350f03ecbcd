// What shows a run to the user, or keeps it hidden: the wizard. The run
// hands the middle of its order to the view, whose modal loop runs on the
// caller's thread and calls back into the run's steps.
#pragma once

class RunView {
public:
    // Runs the view's modal loop until the run has ended.
    virtual void ShowRun() = 0;

protected:
    ~RunView() = default;
};
