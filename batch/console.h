#pragma once

#include <cstdint>

// The batch program's console dialogue. Every read flushes standard output first,
// so a terminal and a pipe show the same order. A closed input never blocks.

/// Reads the mode answer: a line holding a whole number from 0 to 9 (written as "%i"
/// reads it: 0x.. hexadecimal, 0.. octal). Any other line is answered with a request for
/// a mode number and the question is asked again. False at the end of the input.
bool readModeAnswer(int32_t& mode);

/// Reads one character; end of input counts as the line end of ENTER.
int readAnswerChar();

/// Reads one word of at most 255 characters (the typed-name prompt); empty at end of input.
bool readWord(char (&word)[256]);
