#include "app/form2.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace tarnvale {

namespace {

// Only touches the widget when the colour changes: the measurement sets it
// for every buffer.
void showInvalid(QLineEdit* field, bool red) {
  const bool isRed = field->property("invalid").toBool();
  if (isRed == red) return;
  field->setProperty("invalid", red);
  field->setStyleSheet(red ? QStringLiteral("QLineEdit { background: red; }") : QString());
}

void setIfChanged(QLabel* label, const std::string& text) {
  const QString value = QString::fromStdString(text);
  if (label->text() != value) label->setText(value);
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("Level Meter Setup"));
  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit2 = new QLineEdit(this);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Label14 = new QLabel(QStringLiteral("0"), this);
  Label14->setObjectName(QStringLiteral("Label14"));
  Label39 = new QLabel(QStringLiteral("0"), this);
  Label39->setObjectName(QStringLiteral("Label39"));
  Label40 = new QLabel(QStringLiteral("0"), this);
  Label40->setObjectName(QStringLiteral("Label40"));

  auto* form = new QFormLayout(this);
  form->addRow(QStringLiteral("Meter Full Scale = "), Edit1);
  form->addRow(QStringLiteral("Headroom = "), Label14);
  form->addRow(QStringLiteral("Decay Rate"), Edit2);
  form->addRow(QStringLiteral("DC offset L"), Label39);
  form->addRow(QStringLiteral("DC offset R"), Label40);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

std::string TForm2::calibrationText() const {
  return Edit1->text().toStdString();
}
void TForm2::setCalibrationFieldRed(bool red) {
  showInvalid(Edit1, red);
}
void TForm2::setHeadroomText(const std::string& text) {
  setIfChanged(Label14, text);
}
std::string TForm2::decayText() const {
  return Edit2->text().toStdString();
}
void TForm2::setDecayFieldRed(bool red) {
  showInvalid(Edit2, red);
}
void TForm2::setDcOffsetTexts(const std::string& left, const std::string& right) {
  setIfChanged(Label39, left);
  setIfChanged(Label40, right);
}

}  // namespace tarnvale
