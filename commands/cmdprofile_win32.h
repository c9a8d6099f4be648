#pragma once
// Connects the command values to the application's profile settings in the
// registry (the framework's profile of the application `app`).
namespace fw { class Profile; }

// Installs the profile (a copy of it is kept); null removes it.
void K_cmd_use_profile(const fw::Profile* profile);
