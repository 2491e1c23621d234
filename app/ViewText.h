#pragma once
// Windows-1252 texts with CR LF, lone CR or LF line breaks, as the views
// show them: UTF-8 with '\n' line ends.
#include <string>
#include <string_view>

std::string ViewText(std::string_view text1252);
