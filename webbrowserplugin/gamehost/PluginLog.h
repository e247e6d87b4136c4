// The plug-ins' log "kvtplayer.log": one file per process, shared by every
// game host of the process and by the file system threads that log through
// them. Lines are written whole under a lock. The file is created afresh by
// the first line of the process and kept open while a host uses it.
#pragma once

#include <string>

namespace PluginLog {

// Writes one line at level (0 INF, 1 WAR, 2 ERR); lowFolder selects the
// Internet cache's "Low" folder as base when the file is not open yet.
// False when the line was not written.
bool Write(int level, const std::string& message, bool lowFolder);

// A host that logs holds the file; the last release closes it.
void AddUser();
void ReleaseUser();

// The full path of the open log file, empty when none is open.
std::string CurrentPath();

// For tests: a folder used instead of the shell folders ("" restores them).
void SetBaseFolderForTesting(const std::string& folder);

}  // namespace PluginLog
