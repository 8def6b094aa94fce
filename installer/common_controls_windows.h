// The common controls (the progress bar class "msctls_progress32") for the
// progress window.
#pragma once

// Loads comctl32 from the system folder and calls its InitCommonControls, so
// that its window classes exist. The library is loaded at run time rather
// than imported: an imported comctl32 is looked for in the installer's own
// folder first, before any code of the installer runs. Nothing happens when
// the library cannot be loaded; the progress bar is then missing.
void StartCommonControls();
