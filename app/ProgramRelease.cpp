#include "app/ProgramFlavour.h"

namespace quennet {

void prepareRun(QApplication &) {}

void finishRun() {}

} // namespace quennet
