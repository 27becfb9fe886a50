#pragma once

#include <string>

#include "headless/host_session.h"

// Loads one of the test hosts into the test process, where the plug-in's binding finds it
// by file name, and unloads it again. The process-wide host table is cleared on both
// ends, so no test sees entries bound to a host that is gone.
class InProcessHost {
  public:
    // folder: one of "zt" (HelmoraZT.exe), "plain" (Helmora.exe), "version-only",
    // "no-version", or "without-ENTRY" (a full host lacking ENTRY) under the test hosts'
    // folder.
    explicit InProcessHost(const std::string& folder);
    ~InProcessHost();
    InProcessHost(const InProcessHost&) = delete;
    InProcessHost& operator=(const InProcessHost&) = delete;

    bool loaded() const { return handle_ != nullptr; }

    // The host's state, fresh for each host object, quiet, with the log kept; null for the
    // hosts that have none.
    headless::HostSession* session() const { return session_; }

  private:
    void* handle_ = nullptr;
    headless::HostSession* session_ = nullptr;
};

// Clears the plug-in's process-wide host table.
void clearHostTable();
