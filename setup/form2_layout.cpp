// The dialog's controls, placed by hand at the sizes and places users know.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/application.h"
#include "setup/form2.h"
#include "setup/setup_texts.h"

namespace tarnvale {

namespace {

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

}  // namespace

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

}  // namespace tarnvale
