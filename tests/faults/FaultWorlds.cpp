#include "tests/faults/FaultWorlds.h"

#include <QByteArray>
#include <QJsonArray>

#include "FirmwareGen.h"

void PrepareWorld(E2eWorld& world, Method method) {
  if (method == Method::External) {
    world.PrepareExternalDelivery(0);
    return;
  }
  world.WriteUpdateIni(0);
  DeviceBlockSpec d;
  d.deviceNr = "52000";
  d.deviceName = "MSP Meter";
  d.progFile2 = "main.txt";
  d.swKenn2 = "@1000\\r\\n";
  world.WriteProgDeviceIni({d});
  world.Dir().Write("main.txt", MakeTiTxtFirmware("1.30", 1000, 5));
}

std::string MeterProfile(Method method, const std::string& extra) {
  if (method == Method::External) return ExternalProfile("1.23", extra);
  return "[Identity]\nPcbNumber = 50000-01\nPcbCode = 203\nDeviceNumber = 52000\nDeviceCode = 200\n"
         "Version = 1.05\nVersionCode = 201\nSerialNumber = 87654321\nSerialCode = 25\n"
         "[Line]\nBaudRate = 4800\nReplyDelayMs = 5\n"
         "[Target]\nTarget = bsl\nBslVersion = 1.61\nAppStartMs = 200\nOldFirmware = yes\n" +
         extra;
}

std::string HexLoadSim() { return std::string(UPDATE_BINARY_DIR) + "/hexload-sim"; }

int CompleteFiles(const QJsonObject& report, const std::string& name) {
  int n = 0;
  for (const auto& v : report.value("files").toArray()) {
    const QJsonObject f = v.toObject();
    if (f.value("name").toString().toStdString() == name &&
        f.value("state").toString() == "complete")
      ++n;
  }
  return n;
}

bool MeterHoldsFirmware(E2eWorld& world, Method method, const QJsonObject& report) {
  if (method == Method::Msp430) {
    const ByteMap flash = FlashOf(report);
    for (const auto& [address, value] : ParseTiTxt(world.Dir().Read("main.txt"))) {
      auto it = flash.find(address);
      if (it == flash.end() || it->second != value) return false;
    }
    return true;
  }
  const std::string image = world.Dir().Read("meter.mot");
  for (const auto& v : report.value("files").toArray()) {
    const QJsonObject f = v.toObject();
    if (f.value("name").toString() != "meter.mot" || f.value("state").toString() != "complete")
      continue;
    const QByteArray data = QByteArray::fromBase64(f.value("data_base64").toString().toLatin1());
    if (data.toStdString() == image) return true;
  }
  return false;
}

int PasswordFrames(const QJsonObject& report) {
  int n = 0;
  for (const auto& text : EventTexts(report, "rx", "bsl"))
    if (text.rfind("80 10 24 24", 0) == 0) ++n;
  return n;
}
