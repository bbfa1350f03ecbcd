// What shows a run to the user, or keeps it hidden: the wizard. The run
// hands the middle of its order to the view, whose modal loop runs on the
// caller's thread and calls back into the run's steps.
#pragma once

class RunView {
public:
    // Runs the view's modal loop until the run has ended: IDOK when the run
    // ended it, IDCANCEL after Cancel, -1 when the view broke.
    virtual int DoModal() = 0;

protected:
    ~RunView() = default;
};
