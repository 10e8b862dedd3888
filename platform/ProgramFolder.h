#pragma once

// Changes the working directory to the folder holding the running program, so
// the "data/..." paths resolve wherever the program was started from.
// Returns false (and says why on standard error) when that is not possible.
bool changeToProgramFolder();
