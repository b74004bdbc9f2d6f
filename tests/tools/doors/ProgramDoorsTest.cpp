// halidex-settings, halidex-camera-sim, halidex-ui-demo, halidex-widget-host,
// halidex-photo-editor and halidex --script fed bad files, refusing folders and a full disk.

#include "tests/tools/doors/Doors.h"
#include "tools/ExitStatus.h"

namespace hx::doors {
namespace {}  // namespace
}  // namespace hx::doors
