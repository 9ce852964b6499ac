#pragma once

struct RegSettings;

/// Prints the input summary and the mode menu (angles still in degrees).
void printSummaryAndMenu(const RegSettings& settings);
