#include "capture/form3.h"

#include <QFont>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>
#include <algorithm>

#include "platform/process.h"

namespace tarnvale {

namespace {

QFont tahoma(int pixels) {
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(pixels);
  return font;
}

}  // namespace

TForm3::TForm3(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("Form3"));
  setWindowTitle(QStringLiteral("Form3"));
  setFixedSize(556, 140);
  setFont(tahoma(11));
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(8, 8, 409, 97);
  Memo1->setReadOnly(true);
  Memo1->setFocusPolicy(Qt::NoFocus);
  Memo1->setFont(tahoma(13));
  QStringList lines;
  for (const char* line : kRecoveryLines) lines << QString::fromUtf8(line);
  Memo1->setPlainText(lines.join(QLatin1Char('\n')));

  Button1 = new QPushButton(QString::fromUtf8(kCloseNowCaption), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(448, 48, 97, 33);
  connect(Button1, &QPushButton::clicked, this, &TForm3::Button1Click);

  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(8, 112, 401, 13);
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setTextVisible(false);
}

void TForm3::showRecovery() {
  show();
  raise();
}

void TForm3::closeRecovery() {
  hide();
}

void TForm3::setProgress(int position) {
  ProgressBar1->setValue(std::clamp(position, 0, 100));
}

void TForm3::Button1Click() {
  endProcess();
}

}  // namespace tarnvale
