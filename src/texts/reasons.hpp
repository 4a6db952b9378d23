#pragma once
// Why a file failed, in German, as the window and the command line show it after "Fehler bei Datei <path>: ".

#include <string>
#include <system_error>

namespace texts::utf8 {

// The program's own text for the failures a user meets (a full disk, a missing file, no permission, a
// folder where a file belongs, a fragment that changed, ...), else the system's text; UTF-8.
std::string reason(std::error_code code);

}  // namespace texts::utf8
