#include "Administrator.h"

#include <windows.h>

namespace {

volatile LONG answerForTesting = -1;

int EnvironmentAnswer() {
  char value[8];
  DWORD length = GetEnvironmentVariableA("VELMOR_TEST_ADMINISTRATOR", value, sizeof value);
  if (length != 1) return -1;
  if (value[0] == '0') return 0;
  if (value[0] == '1') return 1;
  return -1;
}

bool AskSystem() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  bool asked = CheckTokenMembership(nullptr, administrators, &member) != FALSE;
  FreeSid(administrators);
  return asked && member != FALSE;
}

}  // namespace

bool IsAdministrator() {
  LONG answer = answerForTesting;
  if (answer < 0) answer = EnvironmentAnswer();
  if (answer >= 0) return answer == 1;
  return AskSystem();
}

void SetAdministratorAnswerForTesting(int answer) {
  InterlockedExchange(&answerForTesting, answer < 0 ? -1 : (answer != 0 ? 1 : 0));
}
