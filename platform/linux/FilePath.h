#pragma once

#include <string>

namespace voldrane::platform::linux_os {

// The folder part of `path`: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);

// The file a chain of symbolic links ends at (`path` itself when it is no link); it need not
// exist, so a link to a file yet to be made names where to make it. 0 with the end in
// `final`, or the errno of the step that failed with `final` the path it failed at.
int FollowLinks(const std::string& path, std::string& final);

}  // namespace voldrane::platform::linux_os
