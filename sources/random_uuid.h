// Fresh random identifiers for events the store gives none. Safe from any
// thread.
#pragma once

#include <string>

/// A new random (version 4) UUID in its 36-character text form with upper
/// case hexadecimal digits, from the kernel's random source.
std::string newRandomUuid();
