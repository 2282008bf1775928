#pragma once

#include <QDialog>
#include <QFont>
#include <cstdint>
#include <string>

#include "platform/ui.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace tarnvale {

// A font of that face, point size (the face's own for 0 or less) and style
// bits as the label keeps them: 1 bold, 2 italic, 4 underline, 8 strike-out.
QFont styledFont(const std::string& face, int pointSize, int style);

// The label's font dialog: face, size, style and colour together, since Qt's
// own font dialog has no colour. Starts with `initial`; choice() is what the
// dialog shows when it is confirmed.
class FontDialog final : public QDialog {
 public:
  explicit FontDialog(const FontChoice& initial, QWidget* parent = nullptr);

  FontChoice choice() const;
  // The colour dialog, starting at the current colour; a confirmed colour
  // becomes the font's.
  void chooseColour();

  QComboBox* face;
  QSpinBox* size;
  QCheckBox* bold;
  QCheckBox* italic;
  QCheckBox* underline;
  QCheckBox* strikeOut;
  QPushButton* colour;
  QLabel* sample;

 private:
  void showSample();

  std::string initialFace_;
  std::int32_t colour_;  // 0x00BBGGRR
};

}  // namespace tarnvale
