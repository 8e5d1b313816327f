#include "module/modMain.h"

namespace pb {

void CleanHistory() {}

} // namespace pb
