#include "setup/form2.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <array>
#include <cmath>
#include <cstdio>
#include <exception>

#include "raster/color.h"
#include "settings/number_text.h"
#include "settings/ring_length.h"
#include "settings/settings_file.h"
#include "setup/setup_texts.h"

namespace tarnvale {

namespace {

constexpr std::int32_t kKeyColour = 0x400040;  // the meter window's see-through colour
constexpr std::int32_t kNearKeyColour = 0x410041;
constexpr std::array<std::int32_t, 4> kRates = {22050, 44100, 48000, 96000};

QString qs(const std::string& text) {
  return QString::fromStdString(text);
}

template <typename W>
W* place(W* widget, const char* name, int x, int y, int w, int h) {
  if (name != nullptr) widget->setObjectName(QString::fromLatin1(name));
  widget->setGeometry(x, y, w, h);
  return widget;
}

// A plain caption beside a control.
QLabel* caption(QWidget* parent, const char* text, int x, int y, int w, int h = 22) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setGeometry(x, y, w, h);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return label;
}

QLabel* groupCaption(QWidget* parent, const char* text, int x, int y, int w) {
  QLabel* label = caption(parent, text, x, y, w);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

QFrame* raisedPanel(QWidget* parent, const char* name, int x, int y, int w, int h) {
  auto* panel = place(new QFrame(parent), name, x, y, w, h);
  panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
  panel->setLineWidth(2);
  return panel;
}

QLineEdit* field(QWidget* parent, const char* name, int x, int y, int w) {
  return place(new QLineEdit(parent), name, x, y, w, 24);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* text, int x, int y, int w) {
  return place(new QCheckBox(QString::fromUtf8(text), parent), name, x, y, w, 22);
}

QPushButton* button(QWidget* parent, const char* name, const char* text, int x, int y, int w,
                    int h = 28) {
  auto* b = place(new QPushButton(QString::fromUtf8(text), parent), name, x, y, w, h);
  b->setAutoDefault(false);  // Enter acts on its release, in the entry fields only
  return b;
}

QColor qcolor(std::int32_t bgr) {
  const std::int32_t c = resolveSystemColor(bgr);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Only touches the widget when the colour changes: the measurement sets it
// for every buffer.
void showInvalid(QLineEdit* edit, bool& shownRed, bool red) {
  if (shownRed == red) return;
  shownRed = red;
  edit->setStyleSheet(red ? QStringLiteral("QLineEdit { background: red; }") : QString());
}

void setIfChanged(QLabel* label, const std::string& text) {
  const QString value = qs(text);
  if (label->text() != value) label->setText(value);
}

std::string fileNameOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string withoutLeadingBlanks(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : text.substr(first);
}

}  // namespace

std::string formatThreeDigits(double value, const std::string& separator) {
  if (value == 0 || !std::isfinite(value)) return "0";
  const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(value))));
  if (exponent > 2) {
    // Whole numbers have more than three digits here: round away the rest.
    const double unit = std::pow(10.0, exponent - 2);
    value = std::round(value / unit) * unit;
  }
  const int decimals = std::max(0, 2 - exponent);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string text = buffer;
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  if (const auto dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, separator);
  return text;
}

ColourPanel::ColourPanel(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setLineWidth(2);
  setAutoFillBackground(true);
  setCursor(Qt::PointingHandCursor);
  setColour(0);
}

void ColourPanel::setColour(std::int32_t colour) {
  colour_ = colour;
  QPalette p = palette();
  p.setColor(QPalette::Window, qcolor(colour));
  setPalette(p);
}

void ColourPanel::mouseReleaseEvent(QMouseEvent* event) {
  QFrame::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
    onClick();
}

UpDown::UpDown(QWidget* parent) : QSpinBox(parent) {
  setAlignment(Qt::AlignRight);
}

void UpDown::stepBy(int steps) {
  const int before = value();
  QSpinBox::stepBy(steps);
  if (value() != before && onArrow) onArrow();
}

TForm2::TForm2(Services services, QWidget* parent) : QDialog(parent), s_(std::move(services)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QString::fromUtf8(kSetupCaption));
  setFixedSize(775, 631);
  buildPanel1();
  buildPanel2();
  buildPanel3();
  buildPanel4();
  buildPanel5();
  buildPanel6();

  LockSet = place(new QCheckBox(QStringLiteral("LockSettings"), this), "LockSet", 14, 596, 120, 26);
  LockSet->setLayoutDirection(Qt::RightToLeft);  // the text left of the box
  Label32 =
      place(new QLabel(QStringLiteral("Settings are Locked"), this), "Label32", 150, 594, 260, 30);
  QFont lockedFont = Label32->font();
  lockedFont.setBold(true);
  lockedFont.setPixelSize(16);
  Label32->setFont(lockedFont);
  Label32->setVisible(false);
  Button2 = button(this, "Button2", "Exit Program", 560, 594, 100, 30);
  Button2->setToolTip(QStringLiteral("Close Program."));
  Button1 = button(this, "Button1", "OK", 668, 594, 99, 30);
  Button1->setToolTip(QStringLiteral("Save Settings"));
  connectActions();
  setIfChanged(Label1, kVersionText);
}

void TForm2::buildPanel1() {
  Panel1 = raisedPanel(this, "Panel1", 8, 8, 759, 80);
  Image1 = place(new QLabel(Panel1), "Image1", 14, 14, 52, 52);
  Image1->setPixmap(QApplication::windowIcon().pixmap(48, 48));
  Image1->setAlignment(Qt::AlignCenter);
  Label17 =
      place(new QLabel(QString::fromUtf8(kApplicationTitle), Panel1), "Label17", 78, 8, 200, 38);
  QFont large = Label17->font();
  large.setPointSize(20);
  large.setBold(true);
  Label17->setFont(large);
  Label1 = place(new QLabel(Panel1), "Label1", 80, 48, 200, 22);
  QFont underlined = Label1->font();
  underlined.setUnderline(true);
  Label3 = place(new QLabel(QString::fromUtf8(kWebAddress), Panel1), "Label3", 290, 12, 360, 22);
  Label3->setFont(underlined);
  Label3->setCursor(Qt::PointingHandCursor);
  Label2 = place(new QLabel(Panel1), "Label2", 290, 44, 360, 22);
  Label2->setFont(underlined);
  Label2->setToolTip(QStringLiteral("Double-Click to open this folder"));
  Label2->setCursor(Qt::PointingHandCursor);
  Button3 = button(Panel1, "Button3", "Help", 656, 25, 88, 30);
}

void TForm2::buildPanel2() {
  Panel2 = raisedPanel(this, "Panel2", 8, 96, 376, 190);
  groupCaption(Panel2, "Calibration:", 12, 6, 200);
  caption(Panel2, "Meter Full Scale = ", 12, 30, 106);
  Edit1 = field(Panel2, "Edit1", 124, 29, 60);
  caption(Panel2, "dB, below system full scale", 190, 30, 180);
  caption(Panel2, "( eg. - 4 )", 124, 53, 90);
  caption(Panel2, "Headroom = ", 226, 53, 76);
  Label14 = place(new QLabel(QStringLiteral("0"), Panel2), "Label14", 304, 53, 64, 22);
  QFont bold = Label14->font();
  bold.setBold(true);
  Label14->setFont(bold);
  caption(Panel2, "Clip Level, dB", 12, 82, 106);
  Edit8 = field(Panel2, "Edit8", 124, 81, 60);
  caption(Panel2, "dB, below system full scale", 190, 82, 180);
  caption(Panel2, "( eg. - 0.5 )", 124, 105, 90);
  caption(Panel2, "Decay Rate", 12, 132, 106);
  Edit2 = field(Panel2, "Edit2", 124, 131, 36);
  caption(Panel2, "Arbitary value, 1 (slow) - 10 (fast)  ", 166, 132, 206);
  cbDCoffset = checkBox(Panel2, "cbDCoffset", "DC Offset Correction", 12, 160, 160);
  Label39 = place(new QLabel(QStringLiteral("0"), Panel2), "Label39", 178, 160, 56, 22);
  Label40 = place(new QLabel(QStringLiteral("0"), Panel2), "Label40", 238, 160, 56, 22);
  Button7 = button(Panel2, "Button7", "SET", 304, 157, 60, 28);
}

void TForm2::buildPanel3() {
  Panel3 = raisedPanel(this, "Panel3", 392, 96, 375, 262);
  auto colourPanel = [this](const char* name, int y) {
    return place(new ColourPanel(Panel3), name, 130, y, 64, 26);
  };
  auto upDown = [this](const char* name, const char* fieldName, int y, int low, int high) {
    UpDown* u = place(new UpDown(Panel3), name, 130, y, 64, 26);
    u->setRange(low, high);
    u->field()->setObjectName(QString::fromLatin1(fieldName));
    return u;
  };
  caption(Panel3, "Bar Colour, High", 12, 12, 114);
  Topbar = colourPanel("Topbar", 10);
  UpDown1 = upDown("UpDown1", "Edit12", 42, 10, 62);
  caption(Panel3, "Bar Colour, Mid", 12, 76, 114);
  MidBar = colourPanel("MidBar", 74);
  UpDown2 = upDown("UpDown2", "Edit13", 106, 1, 60);
  caption(Panel3, "Bar Colour, Low", 12, 140, 114);
  Lowbar = colourPanel("Lowbar", 138);
  caption(Panel3, "Peak Colour", 12, 182, 114);
  PeakBar = colourPanel("PeakBar", 180);
  caption(Panel3, "Click bar to set colour", 12, 222, 190);

  CheckBox4 = checkBox(Panel3, "CheckBox4", "User Colour Peaks", 212, 12, 158);
  blended = checkBox(Panel3, "blended", "Blend", 212, 40, 158);
  CheckBox3 = checkBox(Panel3, "CheckBox3", "Bars as blocks", 212, 68, 158);
  CheckBox2 = checkBox(Panel3, "CheckBox2", "Always on top", 212, 96, 158);
  CheckBox1 = checkBox(Panel3, "CheckBox1", "No Borders", 212, 124, 158);
  CheckBox1->setToolTip(QStringLiteral("Remove Windows Borders"));
  caption(Panel3, "( Needs program restart )  ", 212, 146, 160);
}

void TForm2::buildPanel4() {
  Panel4 = raisedPanel(this, "Panel4", 8, 294, 376, 152);
  groupCaption(Panel4, "Bar position (offset) and Size", 12, 6, 240);
  auto upDown = [this](const char* name, const char* fieldName, int y, int low, int high) {
    UpDown* u = place(new UpDown(Panel4), name, 80, y, 64, 26);
    u->setRange(low, high);
    u->field()->setObjectName(QString::fromLatin1(fieldName));
    return u;
  };
  caption(Panel4, "Position", 12, 32, 66);
  UpDownL = upDown("UpDownL", "Edit11", 31, -50, 50);
  caption(Panel4, "Spacing", 12, 62, 66);
  UpDownR = upDown("UpDownR", "Edit10", 61, -50, 50);
  caption(Panel4, "Width", 12, 92, 66);
  UpDownWidth = upDown("UpDownWidth", "Edit9", 91, 0, 100);
  Button6 = button(Panel4, "Button6", "*", 154, 31, 26, 26);
  caption(Panel4, "Default", 184, 32, 60);
  caption(Panel4, "Size  50 - 200 %", 12, 122, 110);
  Edit3 = field(Panel4, "Edit3", 122, 121, 50);
  Button4 = button(Panel4, "Button4", "Choose Skin...", 240, 30, 124, 30);
  Edit5 = field(Panel4, "Edit5", 240, 66, 124);
}

void TForm2::buildPanel5() {
  Panel5 = raisedPanel(this, "Panel5", 8, 454, 376, 132);
  caption(Panel5, "Input Device", 12, 8, 96);
  ComboBoxDevice = place(new QComboBox(Panel5), "ComboBoxDevice", 110, 7, 254, 26);
  caption(Panel5, "Label", 12, 40, 96);
  Edit4 = place(new QLineEdit(Panel5), "Edit4", 110, 37, 180, 28);
  Edit4->setAutoFillBackground(true);
  Button5 = button(Panel5, "Button5", "Font", 298, 37, 66, 28);
  caption(Panel5, "Channel Mode", 12, 72, 96);
  ComboBoxMode = place(new QComboBox(Panel5), "ComboBoxMode", 110, 71, 180, 26);
  ComboBoxMode->addItems({QStringLiteral("Stereo"), QStringLiteral("Mono  Left"),
                          QStringLiteral("Mono  Right"), QStringLiteral("Mono  L + R - 6 dB")});
  caption(Panel5, "Sample Rate", 12, 102, 96);
  ComboBoxRate = place(new QComboBox(Panel5), "ComboBoxRate", 110, 101, 100, 26);
  ComboBoxRate->addItems({QStringLiteral("22050"), QStringLiteral("44100"), QStringLiteral("48000"),
                          QStringLiteral("96000")});
}

void TForm2::buildPanel6() {
  Panel6 = raisedPanel(this, "Panel6", 392, 366, 375, 220);
  caption(Panel6, "Numeric Readout:", 12, 10, 116);
  RadioButton1 =
      place(new QRadioButton(QStringLiteral("None"), Panel6), "RadioButton1", 130, 10, 62, 22);
  RadioButton2 =
      place(new QRadioButton(QStringLiteral("Peaks"), Panel6), "RadioButton2", 196, 10, 66, 22);
  RadioButton3 =
      place(new QRadioButton(QStringLiteral("Average"), Panel6), "RadioButton3", 266, 10, 90, 22);
  RadioButton1->setChecked(true);
  CheckBox6 = checkBox(Panel6, "CheckBox6", "Show Average Mark", 12, 40, 200);
  caption(Panel6, "Average Time", 12, 70, 104);
  Edit6 = field(Panel6, "Edit6", 118, 69, 60);
  Label25 = place(new QLabel(Panel6), "Label25", 186, 70, 182, 22);
  CheckBox8 = checkBox(Panel6, "CheckBox8", "Show Phase Correlation", 12, 102, 200);
  CheckBox5 = checkBox(Panel6, "CheckBox5", "Peak Hold Infinite", 12, 132, 150);
  caption(Panel6, "( Double-click meter to reset )", 166, 132, 200);
  Label26 =
      place(new QLabel(QStringLiteral("Hold Reset Time"), Panel6), "Label26", 12, 164, 104, 22);
  Edit7 = field(Panel6, "Edit7", 118, 163, 60);
  Label27 = place(new QLabel(Panel6), "Label27", 186, 164, 182, 22);
}

void TForm2::connectActions() {
  for (QLineEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit6, Edit7, Edit8})
    edit->installEventFilter(this);
  Label2->installEventFilter(this);
  Label3->installEventFilter(this);
  LockSet->installEventFilter(this);

  // The measurement reads these two for every buffer: keep them as text.
  connect(Edit1, &QLineEdit::textChanged, this,
          [this](const QString& text) { edit1Text_ = text.toStdString(); });
  connect(Edit2, &QLineEdit::textChanged, this,
          [this](const QString& text) { edit2Text_ = text.toStdString(); });
  connect(Edit4, &QLineEdit::textChanged, this, &TForm2::Edit4Change);
  connect(Edit6, &QLineEdit::textChanged, this, &TForm2::Edit6Change);
  connect(Edit7, &QLineEdit::textChanged, this, &TForm2::Edit7Change);
  connect(Edit8, &QLineEdit::textChanged, this, &TForm2::Edit8Change);

  for (ColourPanel* panel : {Topbar, MidBar, Lowbar, PeakBar})
    panel->onClick = [this, panel] { colourChoice(panel); };
  UpDown1->onArrow = [this] {
    s_.settings.redStart = UpDown1->value();
    s_.host.rebuildColourTable();
  };
  UpDown2->onArrow = [this] {
    s_.settings.amberStart = UpDown2->value();
    s_.host.rebuildColourTable();
  };
  UpDownL->onArrow = [this] {
    s_.settings.offsetLeft = UpDownL->value();
    s_.host.redrawMeterDisplay();
  };
  UpDownR->onArrow = [this] {
    s_.settings.offsetRight = UpDownR->value();
    s_.host.redrawMeterDisplay();
  };
  UpDownWidth->onArrow = [this] {
    s_.settings.barWidth = UpDownWidth->value();
    s_.host.redrawMeterDisplay();
  };
  connect(Button6, &QPushButton::clicked, this, &TForm2::Button6Click);

  // Check boxes act on every change of their tick, set in code or clicked.
  connect(blended, &QCheckBox::toggled, this, [this](bool on) { s_.settings.blend = on; });
  connect(CheckBox3, &QCheckBox::toggled, this, [this](bool on) {
    s_.settings.blocks = on;
    s_.host.redrawMeterDisplay();
  });
  connect(CheckBox1, &QCheckBox::toggled, this, [this](bool on) { s_.settings.borderless = on; });
  connect(CheckBox4, &QCheckBox::toggled, this,
          [this](bool on) { s_.settings.colouredPeaks = on; });
  connect(CheckBox6, &QCheckBox::toggled, this, [this](bool on) { s_.settings.showAverage = on; });
  connect(CheckBox5, &QCheckBox::toggled, this, [this](bool on) {
    Label26->setEnabled(!on);
    Label27->setEnabled(!on);
    Edit7->setEnabled(!on);
    s_.settings.holdPeaks = on;
  });
  connect(CheckBox8, &QCheckBox::toggled, this, [this](bool on) {
    s_.settings.showPhase = on;
    if (!on) s_.host.redrawMeterDisplay();  // removes the phase displays
  });
  // The DC box is also set by SET and the filling, without its action.
  connect(cbDCoffset, &QCheckBox::clicked, this,
          [this](bool on) { s_.settings.dcOffsetComp = on; });
  for (QRadioButton* radio : {RadioButton1, RadioButton2, RadioButton3}) {
    connect(radio, &QRadioButton::toggled, this, [this](bool on) {
      if (on) readoutClick();
    });
  }
  connect(ComboBoxMode, &QComboBox::activated, this, &TForm2::channelModeChange);
  connect(ComboBoxRate, &QComboBox::activated, this, &TForm2::channelModeChange);
  connect(Button5, &QPushButton::clicked, this, &TForm2::fontChoice);
  connect(Button4, &QPushButton::clicked, this, &TForm2::skinChoice);
  connect(Button7, &QPushButton::clicked, this, &TForm2::Button7Click);
  connect(LockSet, &QCheckBox::clicked, this, &TForm2::LockSetClick);
  connect(Button3, &QPushButton::clicked, this, [this] { s_.host.helpAction(); });
  connect(Button1, &QPushButton::clicked, this, &TForm2::closeWithOk);
  connect(Button2, &QPushButton::clicked, this, &TForm2::Button2Click);
}

// ---- MeasurementFields ----

std::string TForm2::calibrationText() const {
  return edit1Text_;
}
void TForm2::setCalibrationFieldRed(bool red) {
  showInvalid(Edit1, edit1Red_, red);
}
void TForm2::setHeadroomText(const std::string& text) {
  setIfChanged(Label14, text);
}
std::string TForm2::decayText() const {
  return edit2Text_;
}
void TForm2::setDecayFieldRed(bool red) {
  showInvalid(Edit2, edit2Red_, red);
}
void TForm2::setDcOffsetTexts(const std::string& left, const std::string& right) {
  setIfChanged(Label39, left);
  setIfChanged(Label40, right);
}

// ---- Filling, OK and the other close ----

void TForm2::runSetupDialog() {
  exitRequested_ = false;
  fill();
  s_.host.setSetupDialogOpen(true);
  if (QScreen* screen = QGuiApplication::primaryScreen(); screen != nullptr)
    move(screen->availableGeometry().center() - rect().center());
  const int result = exec();
  if (exitRequested_) {
    closeWithoutOk();
    s_.host.quitApplication();
    return;
  }
  if (result == QDialog::Accepted) {
    try {
      okSequence();
    } catch (const std::exception& error) {
      // The application's standard error box; the refresh does not run.
      s_.ui.showMessage(error.what(), kApplicationTitle);
      return;
    }
  } else {
    closeWithoutOk();
  }
  s_.host.applyMeterDisplaySize();
  s_.host.redrawMeterDisplay();
  s_.host.setTopmost(s_.settings.onTop);
}

void TForm2::fill() {
  MeterSettings& s = s_.settings;
  const std::string sep = s_.locale.decimalSeparator();
  const std::string sysSep = s_.locale.systemDecimalSeparator();
  // 2.
  ComboBoxDevice->clear();
  const std::vector<std::string> names = s_.host.captureDeviceNames();
  if (names.size() < 2) s.deviceIndex = 0;
  for (const std::string& name : names) ComboBoxDevice->addItem(qs(withoutLeadingBlanks(name)));
  ComboBoxDevice->setCurrentIndex(s.deviceIndex < ComboBoxDevice->count() ? s.deviceIndex : -1);
  // 3.-4.
  setIfChanged(Label1, kVersionText);
  Edit1->setText(qs(s.calibrationText));
  Edit2->setText(qs(s.decayText));
  Edit3->setText(QString::number(s.sizePercent));
  setEditFont(s.labelFont);
  Edit4->setText(qs(s.shortName));
  Edit5->setText(qs(fileNameOf(s.graphicPath)));
  Edit8->setText(qs(formatGeneral(s.clipLevelDb, sep)));
  // 5.-6.
  Topbar->setColour(argbToColor(static_cast<TColor32>(s.topColor)));
  MidBar->setColour(argbToColor(static_cast<TColor32>(s.midColor)));
  Lowbar->setColour(argbToColor(static_cast<TColor32>(s.baseColor)));
  PeakBar->setColour(argbToColor(static_cast<TColor32>(s.peakColor)));
  Label2->setText(qs(kGraphicsPathPrefix + s_.dataFolder));
  // 7.-8.
  CheckBox2->setChecked(s.onTop);
  CheckBox6->setChecked(s.showAverage);
  ComboBoxMode->setCurrentIndex(s.channelMode >= 0 && s.channelMode < 4 ? s.channelMode : -1);
  CheckBox8->setChecked(s.showPhase);
  CheckBox1->setChecked(s.borderless);
  CheckBox3->setChecked(s.blocks);
  CheckBox4->setChecked(s.colouredPeaks);
  CheckBox5->setChecked(s.holdPeaks);
  UpDownWidth->setValue(s.barWidth);
  UpDownL->setValue(s.offsetLeft);
  UpDownR->setValue(s.offsetRight);
  // 9. Any other value leaves the selection as it was.
  if (s.readoutMode == 0) RadioButton1->setChecked(true);
  if (s.readoutMode == 1) RadioButton2->setChecked(true);
  if (s.readoutMode == 2) RadioButton3->setChecked(true);
  // 10.
  rateAtFill_ = s.sampleRate;
  int rateIndex = 1;
  for (std::size_t i = 0; i < kRates.size(); ++i)
    if (kRates[i] == s.sampleRate) rateIndex = static_cast<int>(i);
  ComboBoxRate->setCurrentIndex(rateIndex);
  // 11.-13.
  cbDCoffset->setChecked(s.dcOffsetComp);
  Label39->setText(QString::number(s.dcOffsetLeft));
  Label40->setText(QString::number(s.dcOffsetRight));
  Label25->setText(qs("( 0" + sysSep + "033 to 15 seconds )"));
  Label27->setText(qs("( 0" + sysSep + "1 to 300 seconds )"));
  // 14. The change actions derive the times again from these texts.
  Edit6->setText(qs(formatThreeDigits(s.averageTimeMs / 1000.0, sep)));
  Edit7->setText(qs(formatThreeDigits(s.holdResetMs / 1000.0, sep)));
  // 15.-16.
  blended->setChecked(s.blend);
  UpDown1->setValue(s.redStart);
  UpDown2->setValue(s.amberStart);
  if (s.locked) {
    LockSet->setChecked(true);
    showLocked(true);
  }
}

void TForm2::okSequence() {
  MeterSettings& s = s_.settings;
  const std::string sep = s_.locale.decimalSeparator();
  s_.host.setSetupDialogOpen(false);
  s.calibrationText = Edit1->text().toStdString();
  s.decayText = Edit2->text().toStdString();
  s.sizePercent = std::clamp(parseInteger(Edit3->text().toStdString()).value_or(100), 20, 200);
  s.shortName = Edit4->text().toStdString();
  if (RadioButton1->isChecked()) s.readoutMode = 0;
  if (RadioButton2->isChecked()) s.readoutMode = 1;
  if (RadioButton3->isChecked()) s.readoutMode = 2;
  if (const int i = ComboBoxRate->currentIndex(); i >= 0) s.sampleRate = kRates[i];
  if (s.sampleRate != rateAtFill_) s_.ui.showMessage(kRateChangeMessage, kWarningCaption);

  double average = 300;
  if (const auto seconds = parseReal(Edit6->text().toStdString(), sep)) {
    average = *seconds * 1000;
  } else {
    s_.ui.showMessage(kAverageInvalid, kEntryErrorCaption);
  }
  if (average <= 30 || average > 15000) {
    s_.ui.showMessage(kAverageOutOfRange, kEntryErrorCaption);
  } else {
    s.averageTimeMs = static_cast<std::int32_t>(average);
    s.avgRingLength =
        clampRingLength(ringLengthFor(average, s.sampleRate, s_.host.captureBufferBytes()));
  }

  double reset = 2;
  if (const auto seconds = parseReal(Edit7->text().toStdString(), sep)) {
    reset = *seconds;
  } else {
    s_.ui.showMessage(kResetInvalid, kEntryErrorCaption);
  }
  if (reset < 0.1 || reset > 300) {
    s_.ui.showMessage(kResetOutOfRange, kEntryErrorCaption);
  } else {
    s.holdResetMs = static_cast<std::int32_t>(reset * 1000);
  }

  applyClipText();
  s.barWidth = UpDownWidth->value();
  s.offsetLeft = UpDownL->value();
  s.offsetRight = UpDownR->value();
  s.borderless = CheckBox1->isChecked();
  s.onTop = CheckBox2->isChecked();
  s.showAverage = CheckBox6->isChecked();
  s.channelMode = ComboBoxMode->currentIndex();
  s.showPhase = CheckBox8->isChecked();
  s.blocks = CheckBox3->isChecked();
  s.colouredPeaks = CheckBox4->isChecked();
  s.holdPeaks = CheckBox5->isChecked();
  s.topColor = static_cast<std::int32_t>(colorToArgb(Topbar->colour()));
  s.midColor = static_cast<std::int32_t>(colorToArgb(MidBar->colour()));
  s.baseColor = static_cast<std::int32_t>(colorToArgb(Lowbar->colour()));
  s.peakColor = static_cast<std::int32_t>(colorToArgb(PeakBar->colour()));
  s.redStart = UpDown1->value();
  s.amberStart = UpDown2->value();
  s_.host.rebuildColourTable();
  s.blend = blended->isChecked();
  saveSettings(s, s_.dataFolder, s_.locale, s_.host.meterWindowPosition(), LockSet->isChecked());
}

void TForm2::closeWithoutOk() {
  Edit1->setText(qs(s_.settings.calibrationText));
  s_.host.setSetupDialogOpen(false);
}

void TForm2::closeWithOk() {
  done(QDialog::Accepted);
}

void TForm2::keyPressEvent(QKeyEvent* event) {
  // Escape does nothing: the dialog closes by OK, Enter in an entry field, its
  // close button or Exit Program only.
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TForm2::done(int result) {
  if (!exitRequested_) FormClose();
  QDialog::done(result);
}

void TForm2::FormClose() {
  const int selected = ComboBoxDevice->currentIndex();
  if (selected < 0) return;  // no device listed: nothing to apply
  if (selected != s_.settings.deviceIndex) s_.host.switchCaptureDevice(selected);
  s_.settings.deviceIndex = selected;
  s_.settings.deviceName = ComboBoxDevice->itemText(selected).toStdString();
}

void TForm2::showLocked(bool locked) {
  for (QFrame* panel : {Panel2, Panel3, Panel4, Panel5, Panel6}) panel->setEnabled(!locked);
  Label32->setVisible(locked);
}

// ---- Entry fields ----

bool TForm2::keyRefused(QLineEdit* edit, const QString& typed) {
  if (typed.isEmpty()) return false;
  const QChar c = typed.front();
  // Control characters (backspace, Enter, shortcuts) are not typed text.
  if (c.unicode() < 0x20 || c.unicode() == 0x7F) return false;
  if (c.unicode() > 255) return true;
  const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
  const QString systemSep = qs(s_.locale.systemDecimalSeparator());
  const QString userSep = qs(s_.locale.decimalSeparator());
  const bool separator = QString(c) == systemSep;
  if (edit == Edit2 || edit == Edit3) return !digit;
  if (edit == Edit6 || edit == Edit7) return !digit && !separator;
  if (edit != Edit1 && edit != Edit8) return false;
  const bool minus = c == QLatin1Char('-');
  if (!digit && !minus && !separator) return true;
  // Both number fields refuse a second minus sign and a second separator.
  if ((minus || separator || QString(c) == userSep) && edit->text().contains(c)) {
    s_.ui.showMessage(kInvalidKeyTwice + QString(c).toStdString(), kApplicationTitle);
    return true;
  }
  const int insertAt = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
  if (minus && insertAt != 0) {
    s_.ui.showMessage(kMinusAtBeginning, kApplicationTitle);
    return true;
  }
  return false;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonDblClick) {
    if (watched == Label2) Label2DblClick();
    if (watched == Label3) Label3DblClick();
  }
  // Any mouse button released over the lock box runs the lock action; the
  // left one (and the space bar) through `clicked`, after toggling the tick.
  if (watched == LockSet && event->type() == QEvent::MouseButtonRelease) {
    const auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton &&
        LockSet->rect().contains(mouse->position().toPoint())) {
      LockSetClick();
      return true;
    }
  }
  auto* edit = qobject_cast<QLineEdit*>(watched);
  if (edit != nullptr && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (keyRefused(edit, key->text())) return true;
  }
  if (edit != nullptr && edit != Edit5 && event->type() == QEvent::KeyRelease) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->isAutoRepeat()) {
      closeWithOk();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TForm2::Edit4Change() {
  s_.settings.shortName = Edit4->text().toStdString();
  s_.host.drawMeterLabel();
}

void TForm2::Edit6Change() {
  double v = 300;
  if (const auto seconds = parseReal(Edit6->text().toStdString(), s_.locale.decimalSeparator())) {
    v = std::max(*seconds * 1000, 33.0);
  } else {
    s_.ui.showMessage(kAverageInvalid, kEntryErrorCaption);
  }
  if (v > 15000) {
    s_.ui.showMessage(kAverageOutOfRange, kEntryErrorCaption);
    return;
  }
  s_.settings.averageTimeMs = static_cast<std::int32_t>(v);
  s_.settings.avgRingLength =
      clampRingLength(ringLengthFor(v, s_.settings.sampleRate, s_.host.captureBufferBytes()));
}

void TForm2::Edit7Change() {
  double v = 2;
  if (const auto seconds = parseReal(Edit7->text().toStdString(), s_.locale.decimalSeparator())) {
    v = std::max(*seconds, 0.1);
  } else {
    s_.ui.showMessage(kResetInvalid, kEntryErrorCaption);
  }
  if (v > 300) {
    s_.ui.showMessage(kResetOutOfRange, kEntryErrorCaption);
    return;
  }
  s_.settings.holdResetMs = static_cast<std::int32_t>(v * 1000);
}

void TForm2::Edit8Change() {
  applyClipText();
}

void TForm2::applyClipText() {
  const auto v = parseReal(Edit8->text().toStdString(), s_.locale.decimalSeparator());
  if (!v) {
    s_.settings.clipLevelDb = -0.5;
    return;
  }
  // Zero stays 0 rather than becoming -0.
  s_.settings.clipLevelDb = *v > 0 ? -*v : (*v == 0 ? 0.0 : *v);
}

void TForm2::setEditFont(const LabelFont& font) {
  QFont f(qs(font.name));
  if (font.size > 0) f.setPointSize(font.size);
  f.setBold((font.style & 1) != 0);
  f.setItalic((font.style & 2) != 0);
  f.setUnderline((font.style & 4) != 0);
  f.setStrikeOut((font.style & 8) != 0);
  Edit4->setFont(f);
  QPalette p = Edit4->palette();
  p.setColor(QPalette::Base, Qt::black);
  p.setColor(QPalette::Text, qcolor(font.color));
  Edit4->setPalette(p);
}

// ---- Actions ----

void TForm2::colourChoice(ColourPanel* panel) {
  if (const auto chosen = s_.ui.chooseColor(panel->colour())) panel->setColour(*chosen);
  if (panel->colour() == kKeyColour) panel->setColour(kNearKeyColour);
  const auto argb = static_cast<std::int32_t>(colorToArgb(panel->colour()));
  MeterSettings& s = s_.settings;
  if (panel == Topbar) s.topColor = argb;
  if (panel == MidBar) s.midColor = argb;
  if (panel == Lowbar) s.baseColor = argb;
  if (panel == PeakBar) {
    s.peakColor = argb;  // the bars read it each time they are drawn
    return;
  }
  s_.host.rebuildColourTable();
}

void TForm2::channelModeChange() {
  const int i = ComboBoxMode->currentIndex();
  if (s_.settings.channelMode > 0 && i == 0)
    s_.ui.showMessage(kDualChannelHint, kModeChangeCaption);
  if (s_.settings.channelMode == 0 && i > 0)
    s_.ui.showMessage(kSingleChannelHint, kModeChangeCaption);
  s_.settings.channelMode = i;
  s_.host.redrawMeterDisplay();
}

void TForm2::readoutClick() {
  if (RadioButton1->isChecked()) s_.settings.readoutMode = 0;
  if (RadioButton2->isChecked()) s_.settings.readoutMode = 1;
  if (RadioButton3->isChecked()) s_.settings.readoutMode = 2;
  if (RadioButton1->isChecked()) s_.host.redrawMeterDisplay();  // removes the readouts
}

void TForm2::fontChoice() {
  const LabelFont& f = s_.settings.labelFont;
  const auto chosen = s_.ui.chooseFont(FontChoice{f.name, f.size, f.color, f.style});
  if (!chosen) return;
  s_.settings.labelFont = LabelFont{chosen->name, chosen->size, chosen->color, chosen->style};
  setEditFont(s_.settings.labelFont);
  s_.host.drawMeterLabel();
}

void TForm2::skinChoice() {
  if (const auto path = s_.ui.chooseOpenFile(kSkinFileFilter, s_.dataFolder + "Skins", "bmp")) {
    s_.settings.graphicPath = *path;
    s_.host.loadMeterSkin(*path);
    Edit5->setText(qs(fileNameOf(*path)));
    s_.host.redrawMeterDisplay();
  }
  s_.host.drawMeterLabel();
}

void TForm2::Button6Click() {
  UpDownL->setValue(0);
  UpDownR->setValue(0);
  UpDownWidth->setValue(20);
  s_.settings.offsetLeft = 0;
  s_.settings.offsetRight = 0;
  s_.settings.barWidth = 20;
  s_.host.redrawMeterDisplay();
}

void TForm2::Button7Click() {
  switch (s_.ui.askYesNoCancel(kDcQuestion, kConfirmCaption)) {
    case Answer::Yes:
      s_.host.requestDcCapture();
      s_.settings.dcOffsetComp = true;
      cbDCoffset->setChecked(true);
      break;
    case Answer::No:
      s_.settings.dcOffsetLeft = 0;
      s_.settings.dcOffsetRight = 0;
      Label39->setText(QStringLiteral("0"));
      Label40->setText(QStringLiteral("0"));
      cbDCoffset->setChecked(false);
      break;
    case Answer::Cancel:
      break;
  }
}

void TForm2::unlock() {
  LockSet->setChecked(false);
  s_.settings.locked = false;
  showLocked(false);
  s_.settings.lockPassword.clear();
}

void TForm2::LockSetClick() {
  MeterSettings& s = s_.settings;
  if (s.locked) {
    // No answer could match an empty password (only a hand-edited file holds
    // one): such a lock opens with the click, or it could never open.
    if (s.lockPassword.empty()) {
      unlock();
      return;
    }
    const std::string answer = s_.ui.inputText(kUnlockCaption, kUnlockPrompt, "");
    if (!answer.empty() && opensLock(answer, s.lockPassword)) {
      unlock();
    } else {
      LockSet->setChecked(true);
    }
    return;
  }
  const std::string answer = s_.ui.inputText(kLockCaption, kLockPrompt, "");
  if (answer.empty()) {
    LockSet->setChecked(false);
    return;
  }
  s.locked = true;
  s.lockPassword = answer;
  LockSet->setChecked(true);
  showLocked(true);
}

void TForm2::Button2Click() {
  try {
    saveWindowState(s_.settings, s_.dataFolder, s_.host.meterWindowPosition());
  } catch (const std::exception& error) {
    // Not caught by the action itself: the standard error box, and the dialog stays.
    s_.ui.showMessage(error.what(), kApplicationTitle);
    return;
  }
  exitRequested_ = true;
  reject();
}

void TForm2::Label2DblClick() {
  s_.shell.openDocument(s_.dataFolder);
}

void TForm2::Label3DblClick() {
  s_.shell.openWebPage(kWebPage);
}

}  // namespace tarnvale
