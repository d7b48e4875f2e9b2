// Line reading shared by the library's XML readers (identifier, profile and
// configuration files), which scan one element per line rather than parse XML.
#pragma once

namespace ferrolink {

// A line lacks a text the reader needs: the read ends at once, keeping what
// it wrote so far.
struct ReadAbandoned {};

} // namespace ferrolink
