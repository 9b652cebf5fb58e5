// The --canary mode, for callers that want to know whether Full Disk Access
// is granted. Runs on the main thread.
#pragma once

/// Prints "granted PATH" or "refused PATH" and a line feed to standard output
/// in one write; exits 0 when granted, 2 when refused.
[[noreturn]] void runCanaryMode();
