#pragma once

// The pinyin table written when the program is built (tools/pinyingen):
// the readings of every character from kFirst to kLast.

namespace quennet::search::builtin {

extern const char32_t kFirst;
extern const char32_t kLast;
extern const char *const kReadings[];

} // namespace quennet::search::builtin
