#include <gtest/gtest.h>

#include <QJsonArray>
#include <cstdlib>

#include "app/UpdateMain.h"
#include "tests/e2e/E2eWorld.h"
#include "tests/e2e/RecordingView.h"

// With the baud list 3,2 and two ports the search probes port 1 and port 2
// at 9600, then both at 4800, then both in the boot-loader phase, and then
// reports that nothing was found. Each pass probes its ports together.
TEST(Search, PortsAndBaudRatesAreProbedInOrder) {
  E2eWorld w;
  w.WriteUpdateIni(0, "3,2");
  w.WriteProgDeviceIni({DeviceBlockSpec{}});
  w.WriteFirmware("meter.mot", "1.30");
  SimProcess& first = w.AddSim("[Line]\nSilent = yes\n");
  SimProcess& second = w.AddSim("[Line]\nSilent = yes\n");
  setenv("UPDATE_PORTS", w.Ports().c_str(), 1);
  setenv("UPDATE_PROGRAM_DIR", w.Folder().c_str(), 1);
  w.Dir().Enter();
  {
    RecordingView view;
    view.quitOnBox = true;
    UpdateMain main(&view);
    ASSERT_TRUE(main.Construct());
    main.Delay().SetDividend(20);
    view.panels.clear();
    main.OkBitBtnClick();
    view.WaitForEnd(60000);
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_NE(view.boxes[0].find("Kein Ger\xE4t gefunden !!"), std::string::npos);
    std::vector<std::string> probes;
    std::string port;
    for (const auto& p : view.panels) {
      if (p.rfind("0:", 0) == 0) port = p.substr(2);
      if (p.rfind("1:", 0) == 0) probes.push_back(port + "@" + p.substr(2));
    }
    // The OK posted by the failure message starts the next search at once.
    ASSERT_GE(probes.size(), 3u);
    probes.resize(3);
    EXPECT_EQ(probes,
              (std::vector<std::string>{"Com1-Com2@9600", "Com1-Com2@4800", "Com1-Com2@BL-Baud"}));
    main.Shutdown();
  }
  // Each port heard the start command at 9600, then at 4800 (a silent meter
  // records what it gets at any speed).
  for (SimProcess* sim : {&first, &second}) {
    const QJsonObject report = sim->Stop();
    std::vector<int> bauds;
    for (const auto& v : report.value("events").toArray()) {
      const QJsonObject e = v.toObject();
      if (e.value("dir").toString() == "rx" && e.value("text").toString().startsWith("A.1111"))
        bauds.push_back(e.value("baud").toInt());
    }
    ASSERT_GE(bauds.size(), 2u) << SimProcess::EventLog(report);
    bauds.resize(2);
    EXPECT_EQ(bauds, (std::vector<int>{9600, 4800})) << SimProcess::EventLog(report);
  }
  unsetenv("UPDATE_PORTS");
  unsetenv("UPDATE_PROGRAM_DIR");
}
