#pragma once

#include <QString>

/// Where one of the two engines of the Connect menu listens.
struct EngineTarget {
    QString host = QStringLiteral("127.0.0.1");
    uint port = 0;
};
