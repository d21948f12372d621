#pragma once

// The boot tool travels inside the front end as a resource and is written out
// as an executable file at every start.

#include <QString>

// The resource path of the carried boot tool.
extern const char kPayloadResource[];

// Writes the bytes of `resource` to `path`, replacing an earlier copy, and
// makes the file executable. The new file takes the old one's place in one
// step, so a copy that another instance is still running is left intact.
// Returns an empty text on success, otherwise the failure text for the
// operator: the fixed message of the failing step, a line end, and what went
// wrong with which file.
QString WritePayload(const QString& resource, const QString& path);
