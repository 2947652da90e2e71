// Conversions between the portable core's narrow texts and the window side's UTF-16.
#pragma once

#include <string>

namespace fw {

// UTF-8 (or plain ASCII) to UTF-16; invalid bytes become U+FFFD.
std::wstring Widen(const std::string& utf8);

}  // namespace fw
