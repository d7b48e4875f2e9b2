// A block of encoder memory moved through the mailbox, one address after the other, with progress.
#pragma once

// Writes (operations 1 and 3) send the register image's cells; reads (2 and 4) store into it, a
// byte of the mirror blocks on the cell of the byte it copies. Pauses 0.5 s first and processes
// events before every access; ends at the first failing access with its code. A count of 0 (or
// less) makes no access and returns the last error as it was.
int TransferBissData(int operation, unsigned start, int count);
