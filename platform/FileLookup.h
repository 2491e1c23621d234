#pragma once
// Firmware file names come from settings written for a file system that
// ignores case; on Linux the delivered file may differ in case from the
// name that asks for it.
#include <string>
#include <string_view>

// The path of `name` in `folder` ("" = current directory): the name as
// given when such a file exists, else the first file of the folder (in
// byte order of the names) that equals it ignoring ASCII case. Empty when
// there is none.
std::string FindFileInFolder(const std::string& folder, std::string_view name);
