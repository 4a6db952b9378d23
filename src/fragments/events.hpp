#pragma once
// Calling a front end's event, which it may have left out. Internal to the fragments library.

#include <utility>

namespace fragments {

template <typename Event, typename... Arguments>
void notify(const Event& event, Arguments&&... arguments) {
    if (event) {
        event(std::forward<Arguments>(arguments)...);
    }
}

}  // namespace fragments
