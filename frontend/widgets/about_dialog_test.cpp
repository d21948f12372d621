#include "widgets/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

TEST(AboutDialogTest, CreditLineCarriesTheVersionAndTheBuildLine) {
  AboutDialog about(QStringLiteral("V1.031"), QStringLiteral("\nBuild Jan  2 2025 10:11:12"));
  auto* credit = about.findChild<QLabel*>(QStringLiteral("ctl1155"));
  ASSERT_NE(credit, nullptr);
  EXPECT_EQ(credit->text(),
            AboutDialog::CreditLine() + QStringLiteral(" V1.031\nBuild Jan  2 2025 10:11:12"));
  about.show();
  auto* ok = about.findChild<QPushButton*>(QStringLiteral("ctl1"));
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->text(), QStringLiteral("&OK"));
  ok->click();
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
}
