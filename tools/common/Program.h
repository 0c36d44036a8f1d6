#pragma once

// The programs take their arguments and write their text in UTF-8. Each
// defines ProgramMain; the system's own entry calls it: main on Linux, where
// arguments are bytes already, and wmain on Windows, which hands them over in
// UTF-16 whatever code page the system uses.
int ProgramMain(int argc, char** argv);
