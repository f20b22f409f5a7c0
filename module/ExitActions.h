// Work the library must do before it leaves the process: when the host
// unloads it, or at process exit, whichever comes first.
#pragma once

namespace module {

// Runs `action` once at unload or exit, after actions registered later
// (last in, first out). Safe from any thread.
void AtUnload(void (*action)());

}  // namespace module
