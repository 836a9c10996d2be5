#pragma once

class frmMain;

// The session bus's services for long listening: the media controls
// (MPRIS), and no idle suspend while the voice sounds. Both optional:
// without a session bus the reader runs as it would without them.
void startDesktopServices(frmMain &window);
