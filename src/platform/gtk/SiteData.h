#pragma once

#include <webkit2/webkit2.h>

#include <string>

namespace poremisu {

// The engine's context for the window: what sites store (cookies in SQLite,
// local storage, IndexedDB, HSTS) kept in `dataDir` and the cache in
// `cacheDir`, both private to the user, so that a login outlives the run;
// third-party cookies refused, tracking prevention on, and the page process
// confined by the engine's sandbox. Returns a new reference.
WebKitWebContext* NewWebContext(const std::string& dataDir, const std::string& cacheDir);

// Why the engine's sandbox cannot confine the page process here ("" when it
// can, or when the user turned it off with the engine's own variable).
std::string SandboxProblem();

}  // namespace poremisu
