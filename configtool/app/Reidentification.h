// Bringing a re-connected encoder back: the same encoder (same serial-number texts) is refreshed
// with a short read, a different one is read completely.
#pragma once

// What follows a failed step: gets the step's code and returns what the sequence returns.
using ReidentificationFailure = int (*)(int code);

// Under the busy state; wasSsi switches the encoder back to SSI at the end. Returns 0 (busy state
// left, supervision running), the failure action's result, or the non-zero result of the
// compatibility or frame-type check.
int ReidentifyVantrel(bool wasSsi, ReidentificationFailure onFailure);
