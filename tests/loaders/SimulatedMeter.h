#pragma once
// The world of one loader test: a simulator process playing the profile on
// its pseudo-terminal, the port table naming it COM1, and a test host with
// that port open and its waits divided by `divisor`.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/loaders/BslTestHost.h"
#include "tests/support/Pty.h"
#include "tests/support/SimProcess.h"

// What an earlier start left is stopped first, host before port table
// before simulator, so that the port table is put back in order.
inline void StartSimulatedMeter(const std::string& folder, const std::string& profile, long divisor,
                                std::unique_ptr<SimProcess>& sim,
                                std::unique_ptr<ScopedPortTable>& ports,
                                std::unique_ptr<BslTestHost>& host) {
  host.reset();
  ports.reset();
  sim.reset();
  sim = std::make_unique<SimProcess>(folder, "meter", profile);
  ASSERT_TRUE(sim->Started());
  ports = std::make_unique<ScopedPortTable>(sim->Slave());
  host = std::make_unique<BslTestHost>();
  host->Delay().SetDividend(divisor);
  ASSERT_TRUE(host->OpenPort());
}
