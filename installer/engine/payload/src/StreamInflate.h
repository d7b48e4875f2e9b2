#pragma once

// Inflation of one compressed entry, reading its stored bytes from the program
// file in 16 KB blocks and writing the inflated file in 16 KB pieces.

#include <windows.h>

#include <string>

#include "payload/Stream.h"

struct StreamReadContext {
    HANDLE source = nullptr;
    const StreamFileEntry* entry = nullptr;
    IStreamProgress* progress = nullptr;
    DWORD total = 0;                    // stored bytes read so far
    std::string key_text;               // block-mode key; empty when not scrambled in blocks
};

// Fetches up to wanted stored bytes, descrambled in block mode. False (with the
// thread's last error) when the read fails or there is no context.
bool ReadStreamBlock(unsigned char* buffer, DWORD wanted, DWORD* count, StreamReadContext* context);

// Inflates the entry into a new target file. 0 when the end of the zlib stream
// was reached; otherwise a negative zlib code, -1 for a short write, or a
// positive Windows error.
int InflateStreamFile(StreamReadContext& context, const _stringx& target);
