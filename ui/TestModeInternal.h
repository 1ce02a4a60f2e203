#pragma once

// Internal switches of the scripted layers that have no public script class.

namespace quennet::ui::detail {

void setDocumentTestMode(bool on);
bool documentTestMode();

} // namespace quennet::ui::detail
