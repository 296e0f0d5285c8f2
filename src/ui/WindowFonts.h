// The windows are laid out for Tahoma 8 pt. Where the system lacks Tahoma
// (a Linux desktop), a metric-compatible Tahoma from the system's font
// folders is loaded for this program, so texts fit their controls.
#pragma once

void LoadWindowFonts();
