#pragma once
// TransferMethods: the transfer methods of the program, and which of them
// carries the firmware of an instrument. The firmware's kind picks the
// method of the main file and the loader program of the extra file; from
// there on the methods answer for themselves.
#include "app/DeviceTable.h"
#include "loaders/BasicLoaderTransfer.h"
#include "loaders/Bsl430Transfer.h"
#include "loaders/ExternalLoader.h"
#include "loaders/WinCeTransfer.h"

class LoaderHost;

class TransferMethods {
 public:
  explicit TransferMethods(LoaderHost& host)
      : hexLoad(host, ExternalLoader::Program::HexLoad),
        pic32(host, ExternalLoader::Program::Pic32),
        bsl430(host),
        winCe(host),
        basicLoader(host) {}

  // The method of the main file.
  TransferMethod& MainMethod(LoaderKind kind);
  // The loader program of the extra file and of "TestDevice.mot": HEXLoad
  // for S-record and TI-TXT instruments, the PIC32 loader for Windows-CE
  // and Intel-hex ones.
  ExternalLoader& LoaderProgram(LoaderKind kind);

  // Both loader programs at once (signals, the window closing).
  void SetTimeLimit(int ms);
  void CancelPrograms();
  void KillPrograms();
  // Asks a running loader program to stop; false when none runs.
  bool StopRunningProgram(int graceMs);
  // A loader program has reported success inside its transfer.
  bool ProgramSucceeded() const;

  ExternalLoader hexLoad;
  ExternalLoader pic32;
  Bsl430Transfer bsl430;
  WinCeTransfer winCe;
  BasicLoaderTransfer basicLoader;
};
