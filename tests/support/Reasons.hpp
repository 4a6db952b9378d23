#pragma once
// The program's German wording for the system errors the tests provoke, as its messages quote it.

#include <cerrno>
#include <map>
#include <string>

namespace testsupport {

inline std::string germanReason(int error) {
    return std::map<int, std::string>{{ENOENT, "Datei oder Ordner nicht gefunden"},
                                      {EISDIR, "die Datei ist ein Ordner"},
                                      {EACCES, "Zugriff verweigert"},
                                      {ENOSPC, "kein Platz mehr auf dem Datenträger"}}
        .at(error);
}

}  // namespace testsupport
