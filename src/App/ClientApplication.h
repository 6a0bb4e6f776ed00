// The client's QApplication: every delivered event is handled inside an
// autorelease pool of its own, so objects autoreleased while handling one
// event are released right after it, and pools nest correctly under modal
// dialogs. Exceptions never cross Qt's event loop: a data-version error is
// kept for the entry sequence and ends the loop; any other is logged.
#pragma once

#include <QApplication>
#include <exception>

class TClientApplication : public QApplication {
    Q_OBJECT
public:
    TClientApplication(int& argc, char** argv);

    bool notify(QObject* aReceiver, QEvent* aEvent) override;

    // The data-version error that ended the loop, if one did.
    std::exception_ptr TakePendingError();

private:
    std::exception_ptr FPendingError;
};
