#pragma once

// Scrambled payload entries. A stored byte b is turned back into
// NOT(swap-halves(b) XOR k), k being the key byte at the byte's position
// modulo the key length; the key is the system constant applied cyclically,
// XORed with the bytes of the entry's narrow name.

#include <windows.h>

#include <string_view>
#include <vector>

// A new key of the text's length; empty when the text is empty (no key) or
// the key cannot be allocated.
std::vector<unsigned char> MakeDescrambleKey(std::string_view key_text);

// Descrambles count bytes in place, the first at key position start_position.
// 1, or 0 (bytes untouched) when no key can be made from the text.
int DescrambleBuffer(unsigned char* bytes, size_t count, std::string_view key_text, size_t start_position);

// Descrambles a whole file in place through a writable mapping, from key
// position 0. The handle needs read and write access. 1, or 0 on failure.
int DescrambleFile(HANDLE file, std::string_view key_text);
