#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace voldrane::platform::linux_os {

// The user's printer options file as libcups reads it: lines `Dest NAME[/INSTANCE] opt=value
// ...` and one `Default NAME[/INSTANCE] opt=value ...`; the keywords, names and instances
// compare without regard to case, other lines mean nothing to libcups.
//
// libcups writes the file again from the destinations the current server knows, which loses
// the lines of every other server's queues (another office's printers and their instances);
// these functions change the `Default` line alone and leave every other byte as it was.

// Whether `text` has a Dest or Default line for queue[/instance] (empty: no instance).
bool HasDestLine(std::string_view text, std::string_view queue, std::string_view instance);

// `text` with queue[/instance] as its one Default line; nullopt when it is that already.
// A Dest line of the new default becomes the Default line with its options; the old Default
// line becomes a Dest line with its options, or goes when it holds nothing but a queue name.
// A new Default line names the queue as `queue` spells it.
std::optional<std::string> WithDefaultLine(std::string_view text, std::string_view queue,
                                           std::string_view instance);

// Where libcups keeps the user's file: $HOME/.cups/lpoptions, the account's home folder when
// HOME is unset. Empty, with the reason, when there is no home folder at all.
std::string UserLpOptionsPath(std::string* error);

// The system-wide file libcups reads before the user's (instances may be defined there).
std::string SystemLpOptionsPath();

// The file's bytes; a missing file is empty. False, with the reason, when it cannot be read
// or is not a regular file.
bool ReadLpOptions(const std::string& path, std::string& text, std::string* error);

// Replaces the file with `text` at once: a new file beside it renamed over it, so a reader
// or a writer killed midway never meets a half-written file. A symbolic link is followed and
// stays a link; the file's permissions stay; ~/.cups is made when missing. Termination
// signals wait until the file is in place.
bool ReplaceLpOptions(const std::string& path, const std::string& text, std::string* error);

}  // namespace voldrane::platform::linux_os
