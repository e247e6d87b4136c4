#include "UpdateServerTable.h"

#ifdef VELMOR_LOOPBACK_SERVERS
#define VELMOR_SERVER(name) "127.0.0.1", L"127.0.0.1"
#else
#define VELMOR_SERVER(name) name, L"" name
#endif

const BuiltInUpdateServer kBuiltInUpdateServers[kBuiltInUpdateServerCount] = {
    {VELMOR_SERVER("update.velmor-game.example"), 9009},
    {VELMOR_SERVER("update1.velmor-game.example"), 9009},
    {VELMOR_SERVER("update2.velmor-game.example"), 9009},
    {VELMOR_SERVER("update3.velmor-game.example"), 9009},
    {VELMOR_SERVER("update4.velmor-game.example"), 9009},
    {VELMOR_SERVER("update5.velmor-game.example"), 9009},
    {VELMOR_SERVER("update6.velmor-game.example"), 80},
    {VELMOR_SERVER("update7.velmor-game.example"), 80},
    {VELMOR_SERVER("update8.velmor-game.example"), 80},
    {VELMOR_SERVER("update9.velmor-game.example"), 80},
    {VELMOR_SERVER("update10.velmor-game.example"), 80},
};
