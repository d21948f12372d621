#pragma once

// The about box: a credit line extended by the version and the build line,
// the program's icon, and an OK button. Created and run modally for each
// request, destroyed when it closes.

#include <QDialog>

class QLabel;

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  // `version` is the version string (for example V1.031), `buildLine` the
  // line naming the build's date and time.
  AboutDialog(const QString& version, const QString& buildLine, QWidget* parent = nullptr);

  // The credit line as the template gives it, before the version is added.
  static QString CreditLine();

 private:
  void OnInitDialog(const QString& version, const QString& buildLine);

  QLabel* m_credit = nullptr;
};
