// The hand-off of the file-by-file update to the product's updater library.
#pragma once

// Tells ZudEduzu.dll where this installation's file list is published and
// waits for it. Skipped when the library or its export is missing.
void RunFileUpdate();
