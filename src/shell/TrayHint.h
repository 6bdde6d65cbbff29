#pragma once
// The tray icon's hint: how many of the active turnstiles are connected, and whether the
// database answers, so that a glance at the notification area tells the state of the gate.
#include <QDateTime>
#include <QString>

// "semConexaoDesde" is when the database stopped answering; invalid while it answers.
QString dicaBandeja(int conectadas, int total, const QDateTime& semConexaoDesde);
