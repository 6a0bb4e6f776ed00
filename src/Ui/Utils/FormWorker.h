// A worker thread of a form: slow reads (a mail's row, the mails related to
// it, unread counts over a large folder) run there, and what they found is
// shown on the form's thread. The GUI thread never waits for them.
//
// A task runs on the worker and returns what to do on the form's thread;
// that step runs only while the worker lives, so a form that goes drops
// what was still on its way. Tasks that pile up run in order; Drop forgets
// those not started (a list that reloads does not want its old rows).
#pragma once

#include "DuForm.h"

#include <functional>
#include <memory>

class TFormWorker {
public:
    using TShow = std::function<void()>;
    using TTask = std::function<TShow()>;

    explicit TFormWorker(TUiForm& aForm);
    // Waits for the task that runs, if any; nothing more reaches the form.
    ~TFormWorker();
    TFormWorker(const TFormWorker&) = delete;
    TFormWorker& operator=(const TFormWorker&) = delete;

    // Any thread. A task that raises is logged and shows nothing.
    void Post(TTask aTask);
    // Forgets the tasks not started yet.
    void Drop();
    // Tasks not started yet.
    int Pending() const;

private:
    struct TState;
    std::shared_ptr<TState> d;
};
