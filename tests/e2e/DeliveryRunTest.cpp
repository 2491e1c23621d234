// Deliveries as they reach a station: names in another case than the
// settings give them, missing files, no loader constants, a port named on
// the command line, the delivery in another folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QJsonArray>
#include <filesystem>
#include <functional>

#include "FirmwareGen.h"
#include "tests/e2e/E2eWorld.h"
#include "tests/support/BslSimImages.h"

namespace fs = std::filesystem;

namespace {

const std::string kSuccessDe = "Download erfolgreich ausgef\xC3\xBChrt !";
const std::string kEnterLoader = "A.5588#QX47";
const std::string kBoot = "A.1200";

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::vector<std::string> Commands(const QJsonObject& report) {
  std::vector<std::string> lines;
  for (const auto& l : SimProcess::ReceivedLines(report))
    if (!l.empty()) lines.push_back(l);
  return lines;
}

bool Sent(const QJsonObject& report, const std::string& command) {
  const auto lines = Commands(report);
  return std::find(lines.begin(), lines.end(), command) != lines.end();
}

// An MSP430 instrument: main.txt and sensor.txt through its bootstrap loaders.
void PrepareMsp430(E2eWorld& w, int language) {
  w.WriteMsp430Settings(language);
  w.Dir().Write("main.txt", MakeTiTxtFirmware("1.30", 3000, 11));
  w.Dir().Write("sensor.txt", MakeTiTxtFirmware("1.10", 1000, 12));
}

void Rename(E2eWorld& w, const std::string& from, const std::string& to) {
  fs::rename(w.Dir().File(from), w.Dir().File(to));
}

enum class Method { External, Msp430 };

void Prepare(E2eWorld& w, Method m, int language) {
  if (m == Method::External)
    w.PrepareExternalDelivery(language);
  else
    PrepareMsp430(w, language);
}

SimProcess& AddMeter(E2eWorld& w, Method m) {
  return w.AddSim(m == Method::External ? ExternalProfile() : Msp430Profile());
}

}  // namespace

// PH812Q.MOT on disk is the file ProgDevice.ini calls ph812q.mot: the device
// entry, the version read, the transfer and the loader program all find it.
// The program runs without UPDATE_PROGRAM_DIR: the working folder is the
// delivery.
TEST(DeliveryRun, NamesInAnotherCaseOnDiskAreFoundByEveryLookUp) {
  struct Case {
    Method method;
    std::vector<std::pair<std::string, std::string>> renames;
  } cases[] = {
      {Method::External, {{"meter.mot", "METER.MOT"}, {"HEXLoad_8N1.exe", "hexload_8n1.EXE"}}},
      {Method::Msp430, {{"main.txt", "MAIN.TXT"}, {"sensor.txt", "Sensor.Txt"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.method));
    E2eWorld w;
    Prepare(w, c.method, 0);
    for (const auto& [from, to] : c.renames) Rename(w, from, to);
    SimProcess& meter = AddMeter(w, c.method);
    RunOptions options;
    options.unset = {"UPDATE_PROGRAM_DIR"};
    const ToolResult r = w.RunHeadless({"--delay-divisor", "20"}, options);
    const QJsonObject report = meter.Stop();
    ASSERT_FALSE(r.timedOut) << r.output;
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r.output, kSuccessDe)) << r.output;
    if (c.method == Method::Msp430) {
      EXPECT_EQ(FlashOf(report), ParseTiTxt(w.Dir().Read("MAIN.TXT")));
    }
  }
}

// A missing file is named with its folder, never taken for a wrong meter,
// and the meter is not switched to its loader.
TEST(DeliveryRun, AMissingFirmwareFileIsNamedBeforeAnyCommandChangesTheMeter) {
  struct Case {
    Method method;
    int language;
    std::string file;
    std::string says;
  } cases[] = {
      {Method::External, 0, "meter.mot", "Firmware-Datei meter.mot fehlt im Ordner "},
      {Method::Msp430, 1, "main.txt", "Firmware file main.txt is missing in folder "},
      {Method::Msp430, 0, "sensor.txt", "Firmware-Datei sensor.txt fehlt im Ordner "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    E2eWorld w;
    Prepare(w, c.method, c.language);
    fs::remove(w.Dir().File(c.file));
    SimProcess& meter = AddMeter(w, c.method);
    const ToolResult r = w.RunHeadless({"--delay-divisor", "20"});
    const QJsonObject report = meter.Stop();
    ASSERT_FALSE(r.timedOut) << r.output;
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(Has(r.output, c.says + w.Folder())) << r.output;
    EXPECT_FALSE(Has(r.output, "Wrong device") || Has(r.output, "falsches Ger")) << r.output;
    EXPECT_FALSE(Sent(report, kBoot)) << SimProcess::EventLog(report);
    EXPECT_FALSE(Sent(report, kEnterLoader)) << SimProcess::EventLog(report);
    EXPECT_TRUE(EventTexts(report, "rx", "bsl").empty());
  }
}

// A guessed password makes the loader erase the whole flash: without the
// constants the meter hears neither the enter-loader command nor a frame.
TEST(DeliveryRun, Msp430DownloadWithoutLoaderConstantsIsRefusedBeforeTheLoaderStarts) {
  struct Case {
    const char* name;
    std::string bsl430;  // empty: no file
    std::vector<std::string> args;
    std::string profile;
    std::string says;
  } cases[] = {
      {"no file", "", {}, "", "BSL430.ini nicht vorhanden"},
      {"key missing",
       "PasswordFill=FF\r\nDefaultVector=0x1E5\r\n",
       {},
       "",
       "BSL430.ini: AlternativeVector fehlt"},
      {"lab menu", "", {"--menu", "lab"}, "StartInLoader = yes\n", "BSL430.ini nicht vorhanden"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    E2eWorld w;
    PrepareMsp430(w, 0);
    w.Dir().Write("LabXXX.txt", MakeTiTxtFirmware("9.99", 1000, 77));
    fs::remove(w.Dir().File("BSL430.ini"));
    if (!c.bsl430.empty()) w.Dir().Write("BSL430.ini", c.bsl430);
    SimProcess& meter = w.AddSim(Msp430Profile(c.profile));
    std::vector<std::string> args = {"--delay-divisor", "20"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ToolResult r = w.RunHeadless(args);
    const QJsonObject report = meter.Stop();
    ASSERT_FALSE(r.timedOut) << r.output;
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(Has(r.output, c.says)) << r.output;
    EXPECT_TRUE(Has(r.output, "l\xC3\xB6scht den ganzen Flash-Speicher")) << r.output;
    EXPECT_FALSE(Sent(report, kEnterLoader)) << SimProcess::EventLog(report);
    EXPECT_TRUE(EventTexts(report, "rx", "bsl").empty()) << SimProcess::EventLog(report);
  }
}

// --port takes a udev-style name (here a link to the simulator's pty) and
// makes it the whole port table; every option takes --opt=value too.
TEST(DeliveryRun, PortNamedOnTheCommandLineIsTheOnlyPort) {
  E2eWorld w;
  w.PrepareExternalDelivery(1);
  SimProcess& meter = w.AddSim(ExternalProfile());
  fs::create_directory(w.Dir().File("by-id"));
  const std::string link = w.Dir().File("by-id/usb-Maker_Meter_A1B2C3-if00-port0");
  fs::create_symlink(meter.Slave(), link);
  RunOptions options;
  options.environment = {{"UPDATE_PORTS", "/dev/no-such-port:/dev/no-other-port"}};
  const ToolResult r =
      w.RunHeadless({"--port=" + link, "--delay-divisor=20", "--answer=yes"}, options);
  meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, "from the COM 1 port")) << r.output;
  // The console has no File menu to point at.
  EXPECT_FALSE(Has(r.output, "File/Exit")) << r.output;
}

// --delivery makes another folder the working folder, with the firmware
// and the loader programs in it.
TEST(DeliveryRun, DeliveryOptionRunsFromAnyFolder) {
  E2eWorld w;
  w.PrepareExternalDelivery(0);
  SimProcess& meter = w.AddSim(ExternalProfile());
  fs::create_directory(w.Dir().File("elsewhere"));
  RunOptions options;
  options.unset = {"UPDATE_PROGRAM_DIR"};
  options.workingFolder = w.Dir().File("elsewhere");
  const ToolResult r = w.RunHeadless({"--delivery", w.Folder(), "--delay-divisor", "20"}, options);
  meter.Stop();
  ASSERT_FALSE(r.timedOut) << r.output;
  EXPECT_EQ(r.exitCode, 0) << r.output;
  EXPECT_TRUE(Has(r.output, kSuccessDe)) << r.output;
}
