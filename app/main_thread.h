#pragma once

#include <functional>

namespace bundlekiln::app {

/// Runs `work` on the main thread's event loop, after everything posted
/// before it, so that updates posted from one thread arrive in order. Safe
/// from any thread; dropped when the application object is already gone.
void postToMainThread(std::function<void()> work);

/// Runs `work` on the application's pool of background threads. The
/// application object waits for it before it goes away.
void runInBackground(std::function<void()> work);

} // namespace bundlekiln::app
