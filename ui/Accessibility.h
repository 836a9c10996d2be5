#pragma once

// Makes the program's own widgets reachable through the accessibility bus:
// the toolbar's click areas as buttons, and the document view with its
// whole text and caret. Call once, after the application object exists.
void installAccessibility();
