#pragma once

#include <cstdint>

// The batch program's console dialogue. Every read flushes standard output first,
// so a terminal and a pipe show the same order. A closed input never blocks.

/// Reads the mode answer as one "%i" conversion and then one more character.
/// Returns false at end of input before any answer; otherwise `mode` keeps its
/// value when the answer is not a number.
bool readModeAnswer(int32_t& mode);

/// Reads one character; end of input counts as the line end of ENTER.
int readAnswerChar();

/// Reads one word of at most 255 characters (the typed-name prompt); empty at end of input.
bool readWord(char (&word)[256]);
