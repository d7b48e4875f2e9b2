// INI texts in memory: sections of tag = value lines, read from and written to files.
// String values are written in double quotes with \" \\ \r \n \t escapes.
#pragma once

struct IniTextObject;
using IniText = IniTextObject *;

enum IniResult {
    INI_NO_ERROR = 0,
    INI_INVALID_HANDLE = -1,
    INI_INVALID_ARGUMENT = -2,
    INI_FILE_ERROR = -3,
};

// sortSections non-zero writes sections in name order. Null when out of memory.
IniText Ini_New(int sortSections);
void Ini_Dispose(IniText ini);
// Adds the file's sections and tags; a tag that exists already takes the file's value.
int Ini_ReadFromFile(IniText ini, const char *path);
// Writes the whole text; the file is replaced only when the new content is complete.
int Ini_WriteToFile(IniText ini, const char *path);
int Ini_PutString(IniText ini, const char *section, const char *tag, const char *value);
// 1 found (value truncated to bufferSize - 1 characters), 0 not found, negative on bad arguments.
int Ini_GetStringIntoBuffer(IniText ini, const char *section, const char *tag, char *buffer,
                            int bufferSize);
