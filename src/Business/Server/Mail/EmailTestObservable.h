// What the account connection test tells the screen that started it: the
// step it is on, how each step ended, and why a step failed.
//
// The callbacks are called on the test's own thread; a screen hands them
// on to its delayed-runable queue.
#pragma once

#include <functional>
#include <string>

enum TEmailTask { etConnectPop3, etReceive, etConnectSmtp, etSendMail };

enum TEmailTestState {
    es_None,              // 0
    es_ConnectPop3,       // 1  connecting and logging in to the POP3 server
    es_ConnectSmtp,       // 2  connecting and logging in to the SMTP server
    es_CheckUserError,    // 3  the server does not know the user
    es_CheckPwdError,     // 4  the server refused the password
    es_Inputed,           // 5
    es_InputCancel,       // 6  the user cancelled the test
    eS_ConnectedPop3,     // 7
    es_ConnectErrorPop3,  // 8  the POP3 server could not be reached or refused the session
    eS_ConnectedSmtp,     // 9
    es_ConnectErrorSmtp,  // 10 the SMTP server refused the login, or could not be reached
    es_SendEmail,         // 11 sending the test mail
    es_SendSuccess,       // 12
    es_SendError,         // 13 logged in, but the test mail was refused
    es_receiveEmail,      // 14 asking the mailbox's status
    es_ReceiveSuccess,    // 15
    es_ReceiveError,      // 16
};

// How a test ended: the last step and its state, the text for the user (a
// message text of its own for each kind of failure, the success text, or
// "已取消") and, for a failure, what the server or the connection said.
struct TEmailTestOutcome {
    TEmailTask Task = etConnectPop3;
    TEmailTestState State = es_None;
    std::string Text;
    std::string Reason;
};

class TEmailTestObservable {
public:
    using TOccurError = std::function<void(const std::string& aErrorMessage)>;
    using TUpdateinfo = std::function<void(const std::string& aInfoMessage)>;
    using TUpdateStatus = std::function<void(TEmailTask AprocessStatus, TEmailTestState AEmailtestState)>;
    using TTestEnded = std::function<void(const TEmailTestOutcome& aOutcome)>;

    bool FCancel = false;   // the screen's own flag; the test does not read it
    // A failed step: its text and, on a line below, the reason.
    TOccurError FOccurError;
    TUpdateinfo FUpdateInfo;
    TUpdateStatus FUpdateStatus;
    TEmailTestState FEmailTestState = es_None;
    // Called once, last, however the test ended.
    TTestEnded FTestEnded;

    void UpdateStatus(TEmailTask aTask, TEmailTestState aState)
    {
        FEmailTestState = aState;
        if (FUpdateStatus)
            FUpdateStatus(aTask, aState);
    }
    void UpdateInfo(const std::string& aText) const
    {
        if (FUpdateInfo)
            FUpdateInfo(aText);
    }
    void OccurError(const std::string& aText) const
    {
        if (FOccurError)
            FOccurError(aText);
    }
    void TestEnded(const TEmailTestOutcome& aOutcome) const
    {
        if (FTestEnded)
            FTestEnded(aOutcome);
    }
};

