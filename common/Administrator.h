// Whether the calling thread's token is a member of the built-in
// Administrators group. A filtered token under user account control counts
// as not administrator.
#pragma once

bool IsAdministrator();

// Test seam: Wine answers every membership test with yes, so tests choose the
// answer. -1 asks the system again, 0 answers no, 1 answers yes. A process
// started by a test (regsvr32, say) takes the answer from the environment
// variable VELMOR_TEST_ADMINISTRATOR ("0" or "1") when no answer was set here.
void SetAdministratorAnswerForTesting(int answer);
