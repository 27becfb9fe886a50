#pragma once

namespace glomera {

// The dialog's commands, run by Glomera::execute. Each calls the host through its
// operations and returns the result execute reports; none throws except std::bad_alloc,
// which execute catches.

// "Start": builds the spheres and writes the .voi file. False only when the user declines
// to continue with a VMR that is not in TAL space.
bool runSphereVois();

// "CleanUpText": cleans "VOItext" in place.
bool runCleanUpText();

// "ReadTextFile": reads a list file chosen by the user into "AllText".
bool runReadTextFile();

// "SaveTextFile": saves "VOItext" to a file chosen by the user.
bool runSaveTextFile();

// Tells the log that a cleaned list was cut to `lines` lines to fit the text box.
void logCleanedListCut(int lines);

}  // namespace glomera
