// The user's texts for an image file that is refused before anything is
// sent, in the message-table character set (Windows-1252).
#include <cstdio>
#include <string>

#include "loaders/BslImage.h"

namespace {

struct FaultText {
  const char* german;
  const char* english;
};

FaultText TextOf(BslImageFault fault) {
  switch (fault) {
    case BslImageFault::Unreadable:
      return {"Datei kann nicht gelesen werden", "file cannot be read"};
    case BslImageFault::FileTooLarge: return {"Datei ist zu gro\xDF", "file is too large"};
    case BslImageFault::TooManyBlocks:
      return {
          "zu viele Datenbl\xF6"
          "cke",
          "too many data blocks"};
    case BslImageFault::LineTooLong:
      return {"mehr als 16 Bytes in einer Zeile", "more than 16 bytes in one line"};
    case BslImageFault::BadByte: return {"ung\xFCltiges Byte", "invalid byte"};
    case BslImageFault::AddressTooHigh:
      return {"Adresse ab 0x20000", "address at or above 0x20000"};
    case BslImageFault::DataBeforeSection:
      return {"Daten vor dem ersten Abschnitt (@)", "data before the first section (@)"};
    case BslImageFault::SectionAddressTooLong:
      return {"Abschnittsadresse l\xE4nger als 16 Zeichen",
              "section address longer than 16 characters"};
    case BslImageFault::BadSectionAddress:
      return {"ung\xFCltige Abschnittsadresse", "invalid section address"};
    case BslImageFault::NoData: return {"keine Daten", "no data"};
    case BslImageFault::SingleBlock:
      return {"nur ein Datenblock, untere L\xF6schgrenze fehlt",
              "only one data block, no lower erase bound"};
    case BslImageFault::NoResetVector:
      return {"kein Reset-Vektor (0xFFFE)", "no reset vector (0xFFFE)"};
    case BslImageFault::NotRegularFile:
      return {"keine gew\xF6hnliche Datei (Verzeichnis, FIFO oder Ger\xE4t)",
              "not a regular file (a directory, FIFO or device)"};
    case BslImageFault::OddSectionAddress:
      return {"Abschnitt beginnt an ungerader Adresse", "section starts at an odd address"};
    case BslImageFault::OverlappingSections:
      return {
          "Abschnitte \xFC"
          "berlappen",
          "sections overlap"};
    case BslImageFault::NotErased:
      return {"Daten in einem Segment, das vorher nicht gel\xF6scht wird",
              "data in a segment that is not erased first"};
    case BslImageFault::None: break;
  }
  return {"", ""};
}

}  // namespace

std::string BslImageFaultText(const BslImageResult& result, const std::string& fileName,
                              int language) {
  const FaultText text = TextOf(result.fault);
  const bool german = language == 0;
  std::string out = german ? "Bootloader: Datei " : "Bootloader: file ";
  out += fileName;
  if (result.line > 0) out += (german ? ", Zeile " : ", line ") + std::to_string(result.line);
  if (result.address >= 0) {
    char address[16];
    std::snprintf(address, sizeof address, "0x%04X", static_cast<unsigned>(result.address));
    out += (german ? ", Adresse " : ", address ") + std::string(address);
  }
  out += ": ";
  out += german ? text.german : text.english;
  out += german ? ".\r\nProgrammierung wurde abgebrochen." : ".\r\nProgramming abort.";
  return out;
}
