#pragma once
// Where the window's Qt texts cross over to the core's UTF-8 strings and back.

#include <QString>
#include <string>
#include <vector>

class QListWidget;

namespace ui {

inline std::string toUtf8(const QString& text) {
    return text.toStdString();
}

inline QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The entries of `list` in list order.
std::vector<std::string> namesOf(const QListWidget& list);

}  // namespace ui
