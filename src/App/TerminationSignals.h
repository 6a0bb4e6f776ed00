// SIGTERM, SIGINT and SIGHUP end the message loop the ordinary way, so a
// session logout or a kill runs the whole tear-down and nothing is cut off
// mid-write.
#pragma once

#include <QObject>
#include <memory>

#include "Runtime/FileHandle.h"

class QSocketNotifier;

class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    TTerminationSignals();
    ~TTerminationSignals() override;

private:
    TFileHandle FRead;
    std::unique_ptr<QSocketNotifier> FNotifier;
};
