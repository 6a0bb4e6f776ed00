// TUi: the presentation layer's facade. It keeps the single-instance
// guard and the forms the entry sequence builds.
#pragma once

#include "Runtime/Singleton.h"

#include <functional>

class TfrmMain;
class TUiForm;

class TUi : public TSingletonManager {
public:
    static constexpr const char* kApplicationTitle = "Quillmar客户端V4.0.0";

    // True when no other client of this user runs; this instance then
    // holds the lock until Shutdown and answers show requests.
    static bool IsFirstInstance();
    // Asks the running client to bring its window to the front; does not
    // wait for it to do so.
    // False when the instance holding the lock cannot be reached (it is
    // quillmar-cli, or it hangs).
    static bool ShowPrevInstance();

    static void Init();
    static void UnInit();

    // The start-up update check. Asks the update server on a worker thread
    // (the window never waits on the network) and answers aThen on the GUI
    // thread through aForm: true when an update was handed to the
    // configured updater, which then runs and this program ends. Nothing is
    // asked for the version "<none>" or without a configured updater.
    static void ApplicateUpdateProcess(TUiForm& aForm, std::function<void(bool aStarted)> aThen);

    // The data-file upgrade of this run's data folder; errors go on.
    static bool DataBaseUpdate();

    // Builds the first forms and shows the main window (whose start brings
    // the data up to date and starts each account's automatic receive and
    // send).
    static void CreateForms();
    static TfrmMain* MainForm();
    // Drops the forms and the instance guard; runs before the application
    // object goes.
    static void Shutdown();
};
