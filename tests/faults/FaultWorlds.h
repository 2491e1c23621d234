#pragma once
// The two deliveries the fault tests run against: an S-record meter with
// the external loader programs and an MSP430 meter with its bootstrap
// loader; each knows what "the meter holds the new firmware" means.
#include <QJsonObject>
#include <string>

#include "tests/e2e/E2eWorld.h"
#include "tests/support/BslSimImages.h"

enum class Method { External, Msp430 };

// The abort text the worlds' settings give (followed by the device name).
inline const std::string kAbortText = "Abbruch ";

// Settings, firmware and loader programs of the method in the world.
void PrepareWorld(E2eWorld& world, Method method);
// The simulator profile of the meter, with extra lines.
std::string MeterProfile(Method method, const std::string& extra);
// True when the meter's flash (MSP430) or its received files (external)
// hold the main firmware of the world.
bool MeterHoldsFirmware(E2eWorld& world, Method method, const QJsonObject& report);
// hexload-sim's path, for loader scripts that wrap it.
std::string HexLoadSim();
// Received files of that name in the report that arrived complete.
int CompleteFiles(const QJsonObject& report, const std::string& name);
// Password frames the bootstrap loader received: one per download that got
// as far as the loader.
int PasswordFrames(const QJsonObject& report);
