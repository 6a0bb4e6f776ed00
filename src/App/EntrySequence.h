// The client's entry sequence: start-up, the message loop, the tear-down.
#pragma once

// Returns the process exit code. Exceptions other than the data-version
// error propagate, after the business layer has been torn down.
int RunClient(int& argc, char** argv);
