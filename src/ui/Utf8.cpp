#include "Utf8.hpp"

#include <QListWidget>

namespace ui {

std::vector<std::string> namesOf(const QListWidget& list) {
    std::vector<std::string> names;
    names.reserve(static_cast<std::size_t>(list.count()));
    for (int row = 0; row < list.count(); ++row) {
        names.push_back(toUtf8(list.item(row)->text()));
    }
    return names;
}

}  // namespace ui
