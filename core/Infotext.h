#pragma once
// The message table: every message of the workflow in German and English,
// as Windows-1252 bytes. The capacity of an entry (terminator included)
// bounds the text after its placeholders are filled.
#include <cstddef>
#include <string>

enum InfoEntry {
  InfoDuration,
  InfoProgramming,
  InfoStoring,
  InfoConfirmOk,
  InfoDownloadOk,
  InfoWrongDownload,
  InfoDeviceNewer,
  InfoNoDevice,
  InfoNoNameAbort,
  InfoWrongDevice,
  InfoNoValidVersion,
  InfoSameVersion,
  InfoCaptionError,
  InfoCaptionInfo,
  InfoL3FileOpen,
  InfoL3Programming,
  InfoProgAbort,
  InfoTransferError,
  InfoPreparing,
  InfoProgOk,
  InfoBootloaderError,
  InfoTitleDone,
  InfoNoBootloader,
  InfoSensorUsb,
  InfoDefaultName,
  InfoLanguageFile,
  // Texts of the Linux desktop: the port panel without any port, and the
  // read-me failures (the file or the viewer, named after the text).
  InfoNoPort,
  InfoReadmeMissing,
  InfoViewerMissing,
  InfoViewerFailed,
  kInfoEntryCount
};

// Language: 0 = German, 1 = English.
const std::string& InfoText(InfoEntry entry, int language);
std::size_t InfoCapacity(InfoEntry entry);
