#pragma once

// The program's start: one instance only, then the main window.
int Main(int argc, char **argv);

// Kept for the start-up sequence; Qt applies the desktop's style itself.
bool InitVisualStyles();
