#pragma once
// The window's logic run in this process against a test world: the port
// table and program folder point at the world, its folder is the current
// directory, and a recording view watches.
#include <cstdlib>
#include <memory>

#include "app/UpdateMain.h"
#include "tests/e2e/E2eWorld.h"
#include "tests/e2e/RecordingView.h"

class WindowRun {
 public:
  explicit WindowRun(E2eWorld& w) {
    setenv("UPDATE_PORTS", w.Ports().c_str(), 1);
    setenv("UPDATE_PROGRAM_DIR", w.Folder().c_str(), 1);
    w.Dir().Enter();
    main = std::make_unique<UpdateMain>(&view);
  }
  ~WindowRun() {
    main.reset();
    unsetenv("UPDATE_PORTS");
    unsetenv("UPDATE_PROGRAM_DIR");
  }

  RecordingView view;
  std::unique_ptr<UpdateMain> main;
};
