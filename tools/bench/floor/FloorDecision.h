#pragma once
// A card read's required work on the floor: the access decision's statements, in the program's
// order and with its texts, and the activity-log lines the program writes on the path the read
// takes, nothing more.
#include "FloorDatabase.h"
#include "FloorLog.h"

#include <QString>

namespace bench {

enum class FloorPath { Short, Refuse, Close, Unregistered };

// The path's name as the floor reports it.
const char* floorPathName(FloorPath path);
// The reply the turnstile gets on the path.
const QString& floorReply(FloorPath path);

FloorPath decideRead(FloorDatabase& database, const FloorLog& log, const QString& comanda);

} // namespace bench
