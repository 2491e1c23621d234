#include <gtest/gtest.h>

#include "core/Infotext.h"
#include "core/Placeholders.h"

TEST(Infotext, EveryEntryFitsItsCapacityInBothLanguages) {
  for (int i = 0; i < kInfoEntryCount; ++i) {
    auto e = static_cast<InfoEntry>(i);
    EXPECT_LT(InfoText(e, 0).size(), InfoCapacity(e)) << "entry " << i;
    EXPECT_LT(InfoText(e, 1).size(), InfoCapacity(e)) << "entry " << i;
  }
  EXPECT_EQ(InfoText(InfoDefaultName, 0), "Ger\xE4t");
  EXPECT_EQ(InfoText(InfoWrongDevice, 0), "Falsches Ger\xE4t angeschlossen !!");
  EXPECT_EQ(InfoText(InfoTitleDone, 1), "Update [ready]");
}

TEST(Placeholders, NameFallsBackToTheDefaultNameOfTheLanguage) {
  PlaceholderValues v;
  EXPECT_EQ(FillPlaceholders(InfoText(InfoNoNameAbort, 0), v),
            "Kein Ger\xE4t gefunden !!\r\nProgramm wird abgebrochen !!");
  v.language = 1;
  EXPECT_EQ(FillPlaceholders(InfoText(InfoNoNameAbort, 1), v),
            "No device found !!\r\nProgram is aborted !!");
}

TEST(Placeholders, DeviceNameAndPortAreFilledEverywhere) {
  PlaceholderValues v;
  v.deviceName = "Oxi 812q";
  v.comNumber = 3;
  std::string text = FillPlaceholders(InfoText(InfoDownloadOk, 0), v, InfoCapacity(InfoDownloadOk));
  EXPECT_NE(text.find("Trennen Sie das Oxi 812q von der Schnittstelle COM 3."), std::string::npos);
  EXPECT_EQ(FillPlaceholders("DATEI \\rNAME", PlaceholderValues{"a.mot", "x", 1, 0}),
            "a.mot \r\nx");
}

TEST(Placeholders, ReplacementHoldingItsOwnPlaceholderEndsAndStaysInCapacity) {
  PlaceholderValues v;
  v.deviceName = "NAME NAME";
  EXPECT_EQ(FillPlaceholders("a NAME b", v), "a NAME NAME b");
  v.deviceName = std::string(500, 'n');
  std::string cut = FillPlaceholders(InfoText(InfoWrongDevice, 0) + " NAME", v, 40);
  EXPECT_EQ(cut.size(), 39u);
  EXPECT_EQ(ReplaceFirstX("up to X minutes X", "53"), "up to 53 minutes X");
}
