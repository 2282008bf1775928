#include "capture/form3.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

namespace tarnvale {
namespace {

TEST(TForm3, ControlsStandWhereTheRecoveryWindowPutsThem) {
  TForm3 form;
  EXPECT_EQ(form.windowTitle(), "Form3");
  EXPECT_EQ(form.size(), QSize(556, 140));
  const struct {
    QWidget* control;
    const char* name;
    QRect geometry;
  } cases[] = {
      {form.Memo1, "Memo1", {8, 8, 409, 97}},
      {form.Button1, "Button1", {448, 48, 97, 33}},
      {form.ProgressBar1, "ProgressBar1", {8, 112, 401, 13}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(form.findChild<QWidget*>(c.name), c.control) << c.name;
    EXPECT_EQ(c.control->geometry(), c.geometry) << c.name;
  }
  EXPECT_EQ(form.Memo1->toPlainText(),
            "The audio input is not responding.\nTarnvale is attempting to reconnect.\n \n"
            "Alternatively, close the program, fix the problem then restart.");
  EXPECT_TRUE(form.Memo1->isReadOnly());
  EXPECT_EQ(form.Memo1->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(form.Button1->text(), "CLOSE NOW");
  EXPECT_EQ(form.ProgressBar1->minimum(), 0);
  EXPECT_EQ(form.ProgressBar1->maximum(), 100);
}

TEST(TForm3, ShowsProgressAndHidesWhenClosed) {
  TForm3 form;
  EXPECT_FALSE(form.isVisible());
  form.showRecovery();
  EXPECT_TRUE(form.isVisible());
  form.setProgress(25);
  EXPECT_EQ(form.ProgressBar1->value(), 25);
  form.closeRecovery();
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.ProgressBar1->value(), 25);  // kept until the next recovery
}

TEST(TForm3, CloseNowEndsTheProgram) {
  TForm3 form;
  form.showRecovery();
  // The real end, in a child process: nothing may unwind through Qt's signal.
  EXPECT_EXIT(form.Button1->click(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace tarnvale
