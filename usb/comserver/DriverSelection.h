// Which driver the server's class library talks to. The server reaches the
// real driver; a test build of the server installs the simulated one.
#pragma once

void SelectDriver();
