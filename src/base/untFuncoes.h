#pragma once
// Shared functions of the program: the activity log, INI reading, text functions, the
// operating-system label, the instance lock and the error marker files.
#include "platform/textfile.h"

#include <QString>
#include <cstdint>

// Appends one line to the activity log "Log/Vortalis.LOG" beside the executable. Raises
// EInOutError when the line cannot be written.
void GravarLogTXT(const QString& Texto);
// The first and last lines of a run: a line that cannot be written stops neither the start-up nor
// the close. The operator is told once per run that the log cannot be written; a log that
// cannot even be opened is told the same way by GravarLogTXT, which then drops its lines.
void GravarLogOuAvisar(const QString& Texto);

// The value of a key in an INI file, or cDefault.
QString LeIniStr(const QString& cArquivo, const QString& cSecao, const QString& cIdent,
                 const QString& cDefault);

bool Empty(const QString& cTexto);
QString StrZero(const QString& Zeros, int32_t Quant);

QString VersaoWindows();
// The label of a platform version: family (1: 9x, 2: NT), major and minor number.
QString RotuloVersao(int platformId, int major, int minor);

// The instance lock: the file stays open and locked in Arq until DestravarJanela.
bool TravarJanela(int16_t PDV_CODIGO, const QString& Sistema, platform::ExclusiveFile& Arq, QString Path);
void DestravarJanela(int16_t PDV_CODIGO, const QString& Sistema, platform::ExclusiveFile& Arq);

// Creates the error marker Nome in "ControleCatraca" beside the executable, once, and logs it.
// Raises EInOutError when the marker cannot be written.
void CriarArquivoErro(const QString& Nome, const QString& TextoLog);
// The marker name of an error code: at least five digits, then ".error".
QString NomeArquivoErro(int64_t codigo);

// The executable's folder, with a trailing separator.
QString PastaExecutavel();
