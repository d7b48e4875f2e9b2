#pragma once

// Whole text files in a code page, for the INI files: read with the encoding
// a byte-order mark announces, written line by line with CR LF.

#include <windows.h>

#include "kr/stringx.h"

namespace kr::encoded_text {

// Reads the whole file as text. A mark (FF FE, FE FF, EF BB BF) fixes the code
// page; otherwise code_page is used unless it is -1, which means the ANSI code
// page (0). Gives back the code page in use and whether a mark was there.
// Returns 0 or the Windows error of opening; read failures throw
// kr::file_exception.
DWORD read(const _stringx& path, _stringx& text, int& code_page, bool& has_mark);

// Creates the file's folders, then the file, and writes the mark (when asked
// and the code page has one) and every line followed by CR LF in the code page
// (-1: the ANSI code page). Returns 0 or the Windows error of creating the
// file; write and conversion failures throw kr::file_exception.
DWORD write_lines(const _stringx& path, const stringx_vector& lines, int code_page, bool write_mark);

} // namespace kr::encoded_text
