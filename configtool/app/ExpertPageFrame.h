// The frame every button of the expert register page runs in: the busy state with message 55,
// and an SSI encoder switched to BiSS while its mailbox is in use.
#pragma once

class ExpertPageFrame {
public:
    // Enters the busy state and switches an SSI encoder to BiSS. Returns 0, or the switch's code
    // after Fail.
    int Enter();
    // Switches the encoder back to SSI when Enter switched it. Returns 0, or the code after Fail.
    int SwitchBack();
    // Leaves the busy state.
    void Leave();

    // A failed transfer: the supervision takes over, busy state and all. Returns the code.
    static int Fail(int code);

private:
    bool switched_ = false;
};
