#include "app/ProgramVersion.h"

#include "app/BuildVersion.h"

std::string ProgramVersion() {
  std::string text = kBuildVersion;
  if (*kBuildCommit) text += std::string(" (git ") + kBuildCommit + ")";
  return text;
}
