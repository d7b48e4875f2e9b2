// Files by handle: text lines with the Windows line end, plus file attributes.
#pragma once

enum FileAction { VAL_READ_WRITE = 0, VAL_READ_ONLY = 1, VAL_WRITE_ONLY = 2 };
enum FileOpenMode { VAL_TRUNCATE = 0, VAL_APPEND = 1, VAL_OPEN_AS_IS = 2 };
enum FileType { VAL_BINARY = 0, VAL_ASCII = 1 };

enum FileResult {
    FILE_END_OF_FILE = -1,   // ReadLine: nothing left to read
    FILE_IO_ERROR = -2,
    FILE_INVALID_HANDLE = -3,
    FILE_INVALID_ARGUMENT = -4,
    FILE_NOT_FOUND = -5,
    FILE_ACCESS_DENIED = -6,
};

// A handle (>= 1) or a negative FileResult.
int OpenFile(const char *fileName, int action, int mode, int type);
int CloseFile(int handle);
// Reads one line without its line end; keeps at most maxChars characters (the rest of a longer
// line is skipped) and a terminator, so the buffer holds maxChars + 1 bytes. Returns the
// characters kept, FILE_END_OF_FILE or a negative FileResult.
int ReadLine(int handle, char *buffer, int maxChars);
// Writes count characters (-1: up to the terminator) and the line end; returns count or negative.
int WriteLine(int handle, const char *buffer, int count);
// 0 a file, 1 a folder, FILE_NOT_FOUND, or another negative FileResult. Flags may be null.
int GetFileAttrs(const char *path, int *readOnly, int *system, int *hidden, int *archive);
