#pragma once

// The argument scanner met malformed command-line text.
class command_line_exception {
};
