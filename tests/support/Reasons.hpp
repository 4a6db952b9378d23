#pragma once
// The program's German wording for the system errors the tests provoke, as its messages quote it.

#include <gtest/gtest.h>

#include <cerrno>
#include <string>

namespace testsupport {

inline std::string germanReason(int error) {
    switch (error) {
        case ENOENT:
            return "Datei oder Ordner nicht gefunden";
        case EISDIR:
            return "die Datei ist ein Ordner";
        case EACCES:
            return "Zugriff verweigert";
        case ENOSPC:
            return "kein Platz mehr auf dem Datenträger";
        default:
            ADD_FAILURE() << "no wording for errno " << error;
            return {};
    }
}

}  // namespace testsupport
