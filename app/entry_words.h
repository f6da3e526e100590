// The number an output entry stands for, and the 16-bit word the ".pyxm" output keeps of it.
#pragma once

#include <cstdint>
#include <string_view>

namespace app {

// The entry read as a number: leading white space, an optional sign, digits with an
// optional decimal point and exponent; reading stops at the first character that cannot
// continue the number; text that does not start with a number gives 0.
double entry_number(std::string_view entry);
// The low 16 bits of the integer value (truncated towards zero) of entry_number; also for
// numbers beyond 32 bits such as gids carrying flip flags. Infinite or NaN gives 0.
uint16_t entry_word(std::string_view entry);
// Whether an entry goes into the binary output: it holds no "<".
inline bool entry_has_word(std::string_view entry) { return entry.find('<') == std::string_view::npos; }

}  // namespace app
