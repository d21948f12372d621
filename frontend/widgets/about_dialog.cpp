#include "widgets/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "widgets/app_icon.h"
#include "widgets/dialog_units.h"
#include "widgets/flat_button.h"

AboutDialog::AboutDialog(const QString& version, const QString& buildLine, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(tr("About Kavrin_boot"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  QFont dialogFont = font();
  dialogFont.setPointSize(9);
  setFont(dialogFont);
  const DialogUnits units(dialogFont);
  setFixedSize(units.Size(219, 129));

  m_credit = new QLabel(CreditLine(), this);
  m_credit->setObjectName(QStringLiteral("ctl1155"));
  m_credit->setTextFormat(Qt::PlainText);
  m_credit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_credit->setGeometry(units.Rect(33, 8, 166, 15));

  auto* icon = new QLabel(this);
  icon->setGeometry(units.Rect(9, 20, 20, 20));
  icon->setPixmap(AppIcon().pixmap(icon->size()));

  auto* platform = new QLabel(tr("For Linux desktops with Qt 6"), this);
  platform->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  platform->setGeometry(units.Rect(42, 25, 149, 8));

  auto* purpose = new QLabel(tr("Writes, reads back and erases the flash of vk set-top boxes "
                                "over a serial line, the network or USB."),
                             this);
  purpose->setWordWrap(true);
  purpose->setGeometry(units.Rect(11, 51, 192, 40));

  auto* ok = new FlatButton(tr("&OK"), this);
  ok->setObjectName(QStringLiteral("ctl1"));
  ok->setGeometry(units.Rect(156, 105, 43, 15));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  OnInitDialog(version, buildLine);
}

QString AboutDialog::CreditLine() { return QStringLiteral("Kavrin_boot flash download tool"); }

void AboutDialog::OnInitDialog(const QString& version, const QString& buildLine) {
  m_credit->setText(m_credit->text() + QLatin1Char(' ') + version + buildLine);
}
