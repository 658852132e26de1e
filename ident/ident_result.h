#pragma once

// Outcome of asking the device for its version text.
enum class IdentResult : int { Unknown = 0, Krt01_1 = 1, Krt01_2 = 2, Krt01_3 = 3, Supported = 4 };

// Compares the first ten bytes of a version text with the known prefixes.
IdentResult classify_version(const char* version_text);
