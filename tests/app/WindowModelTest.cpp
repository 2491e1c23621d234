#include <gtest/gtest.h>

#include "app/WindowModel.h"

namespace {

class TitleView : public UpdateView {
 public:
  void SetTitle(const std::string& title) override { title_ = title; }
  std::string title_;
};

struct TitleCase {
  std::string prefix;
  double percent;
  std::string panel3;
  std::string title;
};

// The title and status panel 3 show the progress of a transfer: capped at
// 100 %, -1 resets them, -1000 and below is the final mark.
TEST(WindowModel, TitleProgressShowsPercentResetAndFinalMark) {
  const std::string done = "Update [ready]";
  const TitleCase cases[] = {
      {"", 150, " 100.0 %", "Update [ 100.0 %]"},
      {"BSL", 42.5, "BSL 42.5 %", "Update [ 42.5 %]"},
      {"", 0, " 0.0 %", "Update [ 0.0 %]"},
      {"", -1, "", "Update"},
      {"", -1.5, "", "Update"},
      {"", -1000, done, done},
      {"", -5000, done, done},
  };
  for (const TitleCase& c : cases) {
    TitleView view;
    WindowModel model(&view);
    model.SetStatusPanel(3, "before");
    model.SetTitleProgress(c.prefix, c.percent, done);
    EXPECT_EQ(model.StatusPanel(3), c.panel3) << c.percent;
    EXPECT_EQ(model.Title(), c.title) << c.percent;
    EXPECT_EQ(view.title_, c.title) << c.percent;
  }
}

}  // namespace
