// GMime is initialised once for the whole process, from any thread.
#pragma once

void EnsureGMimeInitialised();
