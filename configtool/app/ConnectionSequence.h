// The steps of connecting to the encoder that the connection attempt and the later re-connection
// share: configure and test, switch an SSI encoder to BiSS for its mailbox and back, read the
// whole configuration, and check that the encoder is one the tool supports. Each returns 0 or the
// code of the step that failed, which also stays in the link's last error.
#pragma once

// ConfigInterface, then TestConnection; a reachable encoder opens the system page.
int InitConnection();
// After a failed InitConnection: the answer of an encoder that outputs SSI. Either the test timed
// out, or the start-up found the line answering while the control channel stayed silent.
bool LooksLikeSsiVantrel(int code);
// One test access: the SCD without a control access while switched or in SSI, a RAM read in
// BiSS. Shows whether the encoder answered; any other protocol tests nothing.
int TestConnection();

// An SSI encoder answers BiSS until BISStoSSI (its RAM copy of register 16 changes; the EEPROM
// keeps the configured output).
int SSItoBISS();
int BISStoSSI();

// System and chip blocks, identification, work time and modification flag into the register
// image, with progress on the first panel; then every parameter display.
int ReadData();

// 0, or -1 when the encoder is not supported and the program is ending.
int CheckCompatibilityVantrel();
// A frame-type capable encoder leaves its RAM on the standard frame.
int CheckFrameTypeVantrel();
