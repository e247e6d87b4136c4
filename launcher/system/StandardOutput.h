// The launcher's log also copies every line to the standard output. A GUI
// program usually has none, or the null device; both take nothing, and under
// Wine each unbuffered write to the null device is a round trip to the
// server. So the copy goes where someone can read it: straight to a console,
// through a buffer to a file or a pipe, and nowhere else.
#pragma once

#include <windows.h>

enum class StandardOutputUse { Skip, Direct, Buffered };

StandardOutputUse ClassifyStandardOutput(HANDLE output);

// The use of this process's standard output, decided on the first call; a
// buffered output gets its buffer then.
StandardOutputUse PrepareStandardOutput();
