#pragma once

#include <QString>

/// The path under which an image or the style sheet of the program is compiled in, e.g.
/// resourcePath("edit_add.png") gives ":/./Resources/edit_add.png". Linking the `resources` target
/// registers the files; no Q_INIT_RESOURCE is needed.
QString resourcePath(const QString& fileName);
