#pragma once

// The connections to the word processor live from the main window's first
// showing to the end of the program; releasing them never closes the word
// processor.
void CreateWordConnections();
void ReleaseWordConnections();
