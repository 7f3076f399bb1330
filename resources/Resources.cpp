// Placeholder: the artwork is being made.
#include "resources/Resources.h"
QIcon ToolIcon(int) { return {}; }
std::optional<QCursor> ToolCursor(int) { return std::nullopt; }
QPixmap ToolBitmap(int) { return {}; }
QString ProductText() { return QStringLiteral("MORVAX Tool\nV1.0\n2026-12-06"); }
