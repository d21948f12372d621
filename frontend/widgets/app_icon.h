#pragma once

#include <QIcon>

// The program's icon, drawn at start: a chip on a blue tile.
QIcon AppIcon();
