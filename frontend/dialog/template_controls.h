#pragma once

// Turns the rows of the dialog template into widgets: each at its place in
// dialog units, with its kind's style, text and tab behaviour, named
// "ctl<number>" when it has a number.

#include "dialog/dialog_template.h"

class DialogUnits;
class QWidget;

QWidget* CreateControl(const ControlTemplate& control, const DialogUnits& units, QWidget* parent);

// Widens a label or check box whose text is wider than its place in the
// template (the platform's font may run wider than the template's); the
// template leaves room to the right of every one of them.
void GrowToText(QWidget* widget);
