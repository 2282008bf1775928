#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <functional>

#include "platform/font_dialog.h"
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

struct FontCase {
  bool colourConfirmed;
  bool fontConfirmed;
  std::optional<FontChoice> expected;
};

class QtUiFont : public ::testing::TestWithParam<FontCase> {};

// The font dialog starts with the font given, colour included, and gives back
// face, size, style and colour; cancelling it changes nothing.
TEST_P(QtUiFont, ChoosesFaceSizeStyleAndColour) {
  const FontCase& c = GetParam();
  QtUi ui;
  FontChoice shown;
  whenOpen([&](QWidget* modal) {
    auto* dialog = dynamic_cast<FontDialog*>(modal);
    ASSERT_NE(dialog, nullptr);
    shown = dialog->choice();
    EXPECT_EQ(dialog->sample->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    dialog->face->setEditText("Liberation Serif");
    dialog->size->setValue(20);
    dialog->bold->setChecked(false);
    dialog->underline->setChecked(true);
    whenOpen([&c](QWidget* inner) {
      auto* colours = qobject_cast<QColorDialog*>(inner);
      ASSERT_NE(colours, nullptr);
      EXPECT_EQ(colours->currentColor(), QColor(0, 0, 255));
      colours->setCurrentColor(QColor(255, 128, 0));
      if (c.colourConfirmed) {
        colours->accept();
      } else {
        colours->reject();
      }
    });
    dialog->colour->click();
    if (c.fontConfirmed) {
      dialog->accept();
    } else {
      dialog->reject();
    }
  });
  EXPECT_EQ(ui.chooseFont(FontChoice{"Arial", 12, 0xFF0000, 1}), c.expected);
  // "Arial" may not be installed: the face shows as stored all the same.
  EXPECT_EQ(shown, (FontChoice{"Arial", 12, 0xFF0000, 1}));
}

INSTANTIATE_TEST_SUITE_P(
    QtUi, QtUiFont,
    ::testing::Values(FontCase{true, true, FontChoice{"Liberation Serif", 20, 0x0080FF, 4}},
                      FontCase{false, true, FontChoice{"Liberation Serif", 20, 0xFF0000, 4}},
                      FontCase{true, false, std::nullopt}));

}  // namespace
}  // namespace tarnvale
