#pragma once
// The question the batch program asks on its console, asked in the window instead: which
// of its nine run modes to run.

class QWidget;

/// Shows the modes as a list, `preselected` chosen; returns the mode chosen with OK, or
/// -1 when the dialog was cancelled. Mode 5 is shown but cannot be chosen: it compares two
/// point files named on the command line, which a run in the window does not give.
int askRunMode(QWidget* parent, int preselected);
