// The about panel and the maker's web site.
#pragma once

inline constexpr char kVenkorWebAddress[] = "https://www.venkor.example/";
// Shown on the about panel after the fifth click on the release text.
inline constexpr char kCreditText[] = "Built by the Venkor sensor software team, with thanks to everyone who tested it.";
// Clicks on the release text before the credit shows.
inline constexpr int kCreditReleases = 5;
