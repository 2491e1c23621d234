// The announced duration of a run follows the sizes of its files.
#include <gtest/gtest.h>

#include "app/DurationEstimate.h"

namespace {

using M = DurationMethod;

struct Case {
  const char* what;
  std::vector<DurationPart> parts;
  int minutes;
};

}  // namespace

TEST(DurationEstimate, FollowsTheFileSizesAndKeepsTheFiguresAsTheLeast) {
  const Case cases[] = {
      // The campaign's sensor file: 33 KB through the Basic-Loader.
      {"33 KB Basic-Loader sensor file", {{M::BasicLoader, 33000, 19200, 1}}, 2},
      {"small S-record main file", {{M::LoaderProgram, 4096, 38400, 2}}, 2},
      {"sizes unknown: the figures alone",
       {{M::WinCe, 0, 38400, 15}, {M::BasicLoader, 0, 19200, 1}, {M::LoaderProgram, 0, 38400, 2}},
       18},
      // 3 MB of Windows-CE programs need longer than the old figure.
      {"3 MB of Windows-CE files", {{M::WinCe, 3000000, 38400, 15}}, 30},
      {"400 KB TI-TXT sensor image at 9600", {{M::Msp430, 400000, 9600, 1}}, 13},
      {"9600-baud marker slows the loader program", {{M::LoaderProgram, 400000, 9600, 2}}, 17},
      {"main, sensor and extra add up",
       {{M::Msp430, 60000, 9600, 2},
        {M::Msp430, 20000, 9600, 1},
        {M::LoaderProgram, 4096, 38400, 2}},
       7},
  };
  for (const Case& c : cases) EXPECT_EQ(EstimateMinutes(c.parts), c.minutes) << c.what;
}
