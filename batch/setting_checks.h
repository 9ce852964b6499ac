#pragma once

struct ModeWork;
struct RegSettings;

/// True when the settings can do the work of the chosen mode. Otherwise prints, for
/// the first setting that cannot, which key to change and how, and returns false:
/// a run that could pair no point or search no rotation would only report nothing.
bool checkSettingsForMode(const RegSettings& settings, const ModeWork& work);
