#include "platform/font_dialog.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tarnvale {

namespace {

constexpr const char* kFontDialogTitle = "Font";
constexpr const char* kFaceLabel = "Font:";
constexpr const char* kSizeLabel = "Size:";
constexpr const char* kStyleLabel = "Style:";
constexpr const char* kColourLabel = "Colour:";
constexpr const char* kSampleLabel = "Sample:";
constexpr const char* kColourButton = "Choose...";
constexpr const char* kSampleText = "AaBbYyZz 0123";
constexpr int kLargestSize = 999;

QString text(const char* s) {
  return QString::fromUtf8(s);
}

// A system colour (0xFF in the top byte) names no colour of its own here; it
// shows by its low bytes, and stays unchanged unless another colour is chosen.
QColor shown(std::int32_t bgr) {
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

QCheckBox* styleBox(const char* name, const char* caption, bool on, QWidget* parent) {
  auto* box = new QCheckBox(text(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  box->setChecked(on);
  return box;
}

}  // namespace

FontDialog::FontDialog(const FontChoice& initial, QWidget* parent)
    : QDialog(parent), initialFace_(initial.name), colour_(initial.color) {
  setObjectName(QStringLiteral("FontDialog"));
  setWindowTitle(text(kFontDialogTitle));

  face = new QComboBox(this);
  face->setObjectName(QStringLiteral("fontFace"));
  face->setEditable(true);  // a face the system lacks still shows, and stays
  face->setInsertPolicy(QComboBox::NoInsert);
  face->addItems(QFontDatabase::families());
  face->setEditText(QString::fromStdString(initial.name));

  size = new QSpinBox(this);
  size->setObjectName(QStringLiteral("fontSize"));
  size->setRange(1, kLargestSize);
  size->setValue(initial.size > 0 && initial.size <= kLargestSize ? initial.size : 12);

  bold = styleBox("fontBold", "Bold", (initial.style & 1) != 0, this);
  italic = styleBox("fontItalic", "Italic", (initial.style & 2) != 0, this);
  underline = styleBox("fontUnderline", "Underline", (initial.style & 4) != 0, this);
  strikeOut = styleBox("fontStrikeOut", "Strikeout", (initial.style & 8) != 0, this);
  auto* styles = new QHBoxLayout;
  for (QCheckBox* box : {bold, italic, underline, strikeOut}) styles->addWidget(box);

  colour = new QPushButton(text(kColourButton), this);
  colour->setObjectName(QStringLiteral("fontColour"));
  colour->setAutoDefault(false);

  sample = new QLabel(text(kSampleText), this);
  sample->setObjectName(QStringLiteral("sample"));
  sample->setAlignment(Qt::AlignCenter);
  sample->setMinimumSize(260, 64);
  sample->setAutoFillBackground(true);  // black, as behind the label field

  auto* form = new QFormLayout;
  form->addRow(text(kFaceLabel), face);
  form->addRow(text(kSizeLabel), size);
  form->addRow(text(kStyleLabel), styles);
  form->addRow(text(kColourLabel), colour);
  form->addRow(text(kSampleLabel), sample);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(colour, &QPushButton::clicked, this, &FontDialog::chooseColour);
  connect(face, &QComboBox::currentTextChanged, this, &FontDialog::showSample);
  connect(size, &QSpinBox::valueChanged, this, &FontDialog::showSample);
  for (QCheckBox* box : {bold, italic, underline, strikeOut})
    connect(box, &QCheckBox::toggled, this, &FontDialog::showSample);
  showSample();
}

FontChoice FontDialog::choice() const {
  const QString name = face->currentText().trimmed();
  return FontChoice{name.isEmpty() ? initialFace_ : name.toStdString(), size->value(), colour_,
                    (bold->isChecked() ? 1 : 0) | (italic->isChecked() ? 2 : 0) |
                        (underline->isChecked() ? 4 : 0) | (strikeOut->isChecked() ? 8 : 0)};
}

void FontDialog::chooseColour() {
  const QColor chosen = QColorDialog::getColor(shown(colour_), this);
  if (!chosen.isValid()) return;
  colour_ = chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16);
  showSample();
}

QFont styledFont(const std::string& face, int pointSize, int style) {
  QFont font(QString::fromStdString(face));
  if (pointSize > 0) font.setPointSize(pointSize);
  font.setBold((style & 1) != 0);
  font.setItalic((style & 2) != 0);
  font.setUnderline((style & 4) != 0);
  font.setStrikeOut((style & 8) != 0);
  return font;
}

void FontDialog::showSample() {
  const FontChoice now = choice();
  sample->setFont(styledFont(now.name, now.size, now.style));
  QPalette palette = sample->palette();
  palette.setColor(QPalette::Window, Qt::black);
  palette.setColor(QPalette::WindowText, shown(colour_));
  sample->setPalette(palette);
  QPixmap swatch(16, 16);
  swatch.fill(shown(colour_));
  colour->setIcon(QIcon(swatch));
}

}  // namespace tarnvale
