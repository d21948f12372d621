#include "app/version.h"

QString FormatVersion(int major, int minor, int patch, int build) {
  return QString::asprintf("V%d.%d%d%d", major, minor, patch, build);
}

QString GetVersionString() {
#if defined(KAVRIN_VERSION_MAJOR)
  return FormatVersion(KAVRIN_VERSION_MAJOR, KAVRIN_VERSION_MINOR, KAVRIN_VERSION_PATCH,
                       KAVRIN_VERSION_TWEAK);
#else
  return QString();
#endif
}

QString BuildLine() { return QStringLiteral("\nBuild " __DATE__ " " __TIME__); }
