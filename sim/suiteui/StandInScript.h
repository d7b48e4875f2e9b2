#pragma once

// The stand-in user interface's script: a text file named by the environment
// variable SUITE_UI_SCRIPT, one instruction a line, "#" starting a comment.
//
//   log <path>                  the call log (UTF-8, appended line by line)
//   init-result <hex>           what InitializeSuiteUI returns (after its calls)
//   at-init <call>              a call made from InitializeSuiteUI
//   at-state <n> <call>         a call made when OnBootstrapEvent brings state n
//   cancel-state <n>            answer "cancel" to OnBootstrapEvent with state n
//   cancel-event <dispid>       answer "cancel" (or "abort") to that event
//   source <path>               the media path answered to a source prompt
//   reboot-now                  answer "restart now" to OnQueryReboot
//
// Calls: get <name> | put <name> <value> | mode | set-mode <n> | state |
// run-action <id> | parcels | features | commandline | maintenance |
// exitstatus | substitute <text> | resolve <id> | loginfo <text>

#include <map>
#include <string>
#include <vector>

struct StandInScript {
    std::wstring logPath;
    long initResult = 0;
    std::vector<std::wstring> initCalls;
    std::multimap<int, std::wstring> stateCalls;
    std::vector<int> cancelStates;
    std::vector<int> cancelEvents;
    std::wstring sourcePath;
    bool rebootNow = false;
};

// The script the environment names; empty when there is none.
StandInScript LoadStandInScript();

// The first word of a line and the rest after one blank.
std::pair<std::wstring, std::wstring> SplitWord(const std::wstring& line);
