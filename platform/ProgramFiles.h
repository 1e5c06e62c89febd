#pragma once

#include <string>

namespace voldrane::platform {

// Where the programs find the files installed with them (voldranectl, the manual): beside the
// running program, in the place the package installs them, and in the build tree only when
// the running program itself lies in that build tree. An installed program never takes a
// build tree's file: whatever lies at that path now, possibly someone else's, would run.

// The running program's folder, links resolved; empty when unknown.
std::string ProgramFolder();

// True when `folder` lies in the build tree this program was built in.
bool InBuildTree(const std::string& folder);

// The voldranectl for a program in `programFolder`: the one beside it, else the build tree's
// when the program runs from there, else the installed one. Only a regular file that may be
// run counts. Empty when there is none; `looked` then lists the places, in order.
std::string FindVoldranectl(const std::string& programFolder, std::string* looked = nullptr);

}  // namespace voldrane::platform
