#pragma once
// The camera's texts by key, from the localised strings of its resources; the empty string
// when a key has no text.

#include <string>

namespace hx::app {

std::string localizedString(const std::string& key);

}  // namespace hx::app
