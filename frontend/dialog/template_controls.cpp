#include "dialog/template_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <algorithm>

#include "widgets/dialog_units.h"
#include "widgets/flat_button.h"

namespace {

// A drop-down list's closed height in dialog units; the template's height
// includes the open list, of which each item takes about 8 units.
constexpr int kListHeight = 13;
constexpr int kListItemHeight = 8;

// Makes a button's caption fit its place in the template by taking its font
// down a point at a time (a platform font may run wider than the template's).
void FitCaption(QPushButton* button, int padding) {
  QFont font = button->font();
  const QString caption = QString(button->text()).remove(QLatin1Char('&'));
  while (font.pointSize() > 6 &&
         QFontMetrics(font).horizontalAdvance(caption) + padding > button->width())
    font.setPointSize(font.pointSize() - 1);
  button->setFont(font);
}

}  // namespace

void GrowToText(QWidget* widget) {
  const int needed = widget->sizeHint().width();
  if (needed > widget->width()) widget->resize(needed, widget->height());
}

QWidget* CreateControl(const ControlTemplate& control, const DialogUnits& units, QWidget* parent) {
  const QString text = QString::fromUtf8(control.text);
  QRect place = units.Rect(control.x, control.y, control.width, control.height);
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlKind::kFlatButton: {
      auto* button = new FlatButton(text, parent);
      button->setAutoDefault(false);
      widget = button;
      break;
    }
    case ControlKind::kPlainButton: {
      auto* button = new QPushButton(text, parent);
      button->setFocusPolicy(Qt::NoFocus);
      // Its place is as wide as its text: no room for the style's padding.
      button->setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
      button->setAutoDefault(false);
      widget = button;
      break;
    }
    case ControlKind::kLogPane: {
      auto* pane = new QPlainTextEdit(parent);
      pane->setReadOnly(true);
      pane->setFocusPolicy(Qt::ClickFocus);
      pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      pane->setTabChangesFocus(true);
      // The template centres the log's lines.
      QTextOption option = pane->document()->defaultTextOption();
      option.setAlignment(Qt::AlignHCenter);
      pane->document()->setDefaultTextOption(option);
      widget = pane;
      break;
    }
    case ControlKind::kTextPane: {
      auto* pane = new QPlainTextEdit(parent);
      pane->setReadOnly(true);
      pane->setLineWrapMode(QPlainTextEdit::NoWrap);
      pane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      pane->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
      pane->setTabChangesFocus(true);
      widget = pane;
      break;
    }
    case ControlKind::kEdit:
    case ControlKind::kReadOnlyEdit: {
      auto* edit = new QLineEdit(text, parent);
      edit->setReadOnly(control.kind == ControlKind::kReadOnlyEdit);
      widget = edit;
      break;
    }
    case ControlKind::kDropDownList: {
      auto* list = new QComboBox(parent);
      list->setEditable(false);
      list->setInsertPolicy(QComboBox::NoInsert);
      list->setMaxVisibleItems(std::max(1, (control.height - kListHeight) / kListItemHeight));
      place.setHeight(units.Y(kListHeight));
      widget = list;
      break;
    }
    case ControlKind::kLabel: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      widget = label;
      break;
    }
    case ControlKind::kFrame:
      widget = new QGroupBox(parent);
      break;
    case ControlKind::kCheckBox:
      widget = new QCheckBox(text, parent);
      break;
  }
  widget->setGeometry(place);
  if (control.kind == ControlKind::kLabel || control.kind == ControlKind::kCheckBox)
    GrowToText(widget);
  // The flat buttons draw their caption inside a 2-pixel edge; the plain one
  // has its frame.
  if (control.kind == ControlKind::kFlatButton) FitCaption(static_cast<QPushButton*>(widget), 6);
  if (control.kind == ControlKind::kPlainButton) FitCaption(static_cast<QPushButton*>(widget), 4);
  if (control.id != kNoId) widget->setObjectName(QStringLiteral("ctl%1").arg(control.id));
  return widget;
}
