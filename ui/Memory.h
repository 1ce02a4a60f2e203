#pragma once

namespace quennet::ui {

// Gives the heap memory the program has freed back to the system, so a
// long-running, mostly idle program keeps a small footprint. Cheap enough
// to call from a 200 ms timer.
void trimMemory();

} // namespace quennet::ui
