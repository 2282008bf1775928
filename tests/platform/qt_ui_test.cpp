#include <gtest/gtest.h>

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "platform/qt_services.h"

namespace tarnvale {
namespace {

// Runs `answer` on the modal dialog as soon as it is open.
void whenOpen(std::function<void(QWidget*)> answer) {
  QTimer::singleShot(0, [answer] { answer(QApplication::activeModalWidget()); });
}

struct QuestionCase {
  QMessageBox::StandardButton button;  // NoButton: the box closed with Escape
  Answer expected;
};

class QtUiQuestion : public ::testing::TestWithParam<QuestionCase> {};

TEST_P(QtUiQuestion, AnswersWithTheButtonPressed) {
  QtUi ui;
  QString shownText;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  whenOpen([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    ASSERT_NE(box, nullptr);
    shownText = box->text();
    icon = box->icon();
    if (GetParam().button == QMessageBox::NoButton) {
      box->reject();
    } else {
      box->button(GetParam().button)->click();
    }
  });
  EXPECT_EQ(ui.askYesNoCancel("Set?\r\n\nSure.", "Confirm"), GetParam().expected);
  EXPECT_EQ(shownText, "Set?\n\nSure.");
  EXPECT_EQ(icon, QMessageBox::Question);
}

INSTANTIATE_TEST_SUITE_P(QtUi, QtUiQuestion,
                         ::testing::Values(QuestionCase{QMessageBox::Yes, Answer::Yes},
                                           QuestionCase{QMessageBox::No, Answer::No},
                                           QuestionCase{QMessageBox::Cancel, Answer::Cancel},
                                           QuestionCase{QMessageBox::NoButton, Answer::Cancel}));

TEST(QtUiInput, GivesTheTextOrEmptyOnCancel) {
  QtUi ui;
  whenOpen([](QWidget* modal) {
    auto* input = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->windowTitle(), "LOCK Settings");
    EXPECT_EQ(input->labelText(), "Enter password required to unlock");
    input->setTextValue("Secret");
    input->accept();
  });
  EXPECT_EQ(ui.inputText("LOCK Settings", "Enter password required to unlock", ""), "Secret");
  whenOpen([](QWidget* modal) {
    auto* input = qobject_cast<QInputDialog*>(modal);
    ASSERT_NE(input, nullptr);
    input->setTextValue("typed");
    input->reject();
  });
  EXPECT_EQ(ui.inputText("Unlock Settings", "Enter password to unlock", ""), "");
}

}  // namespace
}  // namespace tarnvale
