#pragma once

#include <QColor>
#include <QFrame>
#include <QSpinBox>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QMouseEvent;

namespace tarnvale {

// A raised colour panel that runs `onClick` when clicked; holds a 0x00BBGGRR colour.
class ColourPanel final : public QFrame {
 public:
  explicit ColourPanel(QWidget* parent);
  std::int32_t colour() const { return colour_; }
  void setColour(std::int32_t colour);
  std::function<void()> onClick;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::int32_t colour_ = 0;
};

// An up-down with its field. `onArrow` runs only when the arrows (or the
// arrow keys) step it; typing into the field moves the position silently.
class UpDown final : public QSpinBox {
 public:
  explicit UpDown(QWidget* parent);
  void stepBy(int steps) override;
  QLineEdit* field() const { return lineEdit(); }
  std::function<void()> onArrow;
};

// Helpers the dialog's files share.
inline QString qs(const std::string& text) {
  return QString::fromStdString(text);
}
// A 0x00BBGGRR colour, or a system colour, as Qt's.
QColor qcolor(std::int32_t bgr);
// Touches the label only when its text changes: some change for every buffer.
void setIfChanged(QLabel* label, const std::string& text);

}  // namespace tarnvale
