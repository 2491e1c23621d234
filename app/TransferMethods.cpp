#include "app/TransferMethods.h"

TransferMethod& TransferMethods::MainMethod(LoaderKind kind) {
  switch (kind) {
    case kLoaderTiTxt: return bsl430;
    case kLoaderWinCe: return winCe;
    case kLoaderIntelHex: return pic32;
    case kLoaderSRecord: break;
  }
  return hexLoad;
}

ExternalLoader& TransferMethods::LoaderProgram(LoaderKind kind) {
  return kind == kLoaderSRecord || kind == kLoaderTiTxt ? hexLoad : pic32;
}

void TransferMethods::SetTimeLimit(int ms) {
  hexLoad.SetTimeLimit(ms);
  pic32.SetTimeLimit(ms);
}

void TransferMethods::CancelPrograms() {
  hexLoad.Cancel();
  pic32.Cancel();
}

void TransferMethods::KillPrograms() {
  hexLoad.KillProgram();
  pic32.KillProgram();
}

bool TransferMethods::StopRunningProgram(int graceMs) {
  for (ExternalLoader* program : {&hexLoad, &pic32}) {
    if (!program->ProgramRunning()) continue;
    program->StopProgram(graceMs);
    return true;
  }
  return false;
}

bool TransferMethods::ProgramSucceeded() const {
  return hexLoad.ProgramSucceeded() || pic32.ProgramSucceeded();
}
