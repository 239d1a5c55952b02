#pragma once
// One action of the setup window at a time. The window keeps serving events while an action
// waits (pauses, socket waits, message boxes), so a second click on one of its images can
// arrive in the middle; that click does nothing until the first action has finished.
//
//   void TForm2::Image8Click() {
//       if (SetupOperation op(operationRunning_); op.started()) Reboot(ctx_);
//   }

namespace rzl {

class SetupOperation {
public:
    explicit SetupOperation(bool& running) : running_(running), started_(!running) {
        if (started_) running_ = true;
    }
    ~SetupOperation() {
        if (started_) running_ = false;
    }
    SetupOperation(const SetupOperation&) = delete;
    SetupOperation& operator=(const SetupOperation&) = delete;

    bool started() const { return started_; }

private:
    bool& running_;
    bool started_;
};

}  // namespace rzl
