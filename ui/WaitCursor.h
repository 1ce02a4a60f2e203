#pragma once

namespace quennet::ui {

// Shows the wait cursor over the whole application while it lives; for the
// long operations that run on the interface thread.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

    // How many times the wait cursor was put up since the program started.
    static int shownCount();
};

} // namespace quennet::ui
