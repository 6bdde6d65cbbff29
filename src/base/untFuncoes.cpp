#include "base/untFuncoes.h"

#include "platform/dialogs.h"
#include "platform/failure.h"
#include "platform/inifile.h"
#include "platform/os.h"
#include "platform/regional.h"

#include <QDateTime>

namespace {
std::string local(const QString& path) {
    return path.toStdString();
}

std::string ansiLine(const QString& text) {
    return platform::toCp1252((text + QStringLiteral("\r\n")).toStdU16String());
}

// An activity log that cannot be written is told to the operator once per run.
void avisarLogInacessivel(const QString& path) {
    static bool avisado = false;
    if (avisado) return;
    avisado = true;
    dialogs::warning(QStringLiteral("Não foi possível gravar o log de atividades ") + path +
                     QStringLiteral(". O sistema continua, sem registrar o que faz."));
}

QString pastaLog() {
    return PastaExecutavel() + QStringLiteral("Log");
}

const QString& caminhoLog() {
    static const QString caminho = pastaLog() + QStringLiteral("/Vortalis.LOG");
    return caminho;
}

constexpr int kBusyPauseMs = 5;
} // namespace

QString PastaExecutavel() {
    // Asked for on every log line; the running executable stays where it was started from.
    static const QString pasta = QString::fromStdString(platform::executableDir());
    return pasta;
}

void GravarLogTXT(const QString& Texto) {
    const QString& path = caminhoLog();
    platform::ExclusiveFile file;
    bool folderCreated = false;
    for (;;) {
        auto result = file.open(local(path), platform::ExclusiveFile::Mode::Append);
        if (result == platform::ExclusiveFile::OpenResult::Ok) break;
        if (result == platform::ExclusiveFile::OpenResult::Busy) {
            // Another writer holds the file for one line: wait for it.
            platform::sleepMs(kBusyPauseMs);
            continue;
        }
        if (result == platform::ExclusiveFile::OpenResult::NoFolder && !folderCreated) {
            folderCreated = true;
            platform::createDir(local(pastaLog()));
            continue;
        }
        avisarLogInacessivel(path);
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    // A line cut short by a full disk is ended before the next one, which starts a line of its own.
    static bool linhaCortada = false;
    const QString line = (linhaCortada ? QStringLiteral("\r\n") : QString()) + regional::logDate(now) + u' ' +
                         regional::logTime(now) + u' ' + Texto;
    std::size_t bytes = 0;
    const bool written = file.write(ansiLine(line), &bytes);
    const bool closed = file.close();
    if (written || bytes > 0) linhaCortada = !written;
    if (!written || !closed) throw EInOutError(QStringLiteral("Erro de entrada/saída ao gravar ") + path);
}

void GravarLogOuAvisar(const QString& Texto) {
    try {
        GravarLogTXT(Texto);
    } catch (const EInOutError&) {
        avisarLogInacessivel(caminhoLog());
    }
}

QString LeIniStr(const QString& cArquivo, const QString& cSecao, const QString& cIdent,
                 const QString& cDefault) {
    if (!platform::fileExists(local(cArquivo))) {
        dialogs::warning(QStringLiteral("Arquivo Inexistente: \n") + cArquivo);
        return cDefault;
    }
    auto value = platform::readIniValue(local(cArquivo), cSecao.toStdU16String(), cIdent.toStdU16String());
    return value ? QString::fromStdU16String(*value) : cDefault;
}

bool Empty(const QString& cTexto) {
    for (QChar c : cTexto)
        if (c.unicode() > 32) return false;
    return true;
}

QString StrZero(const QString& Zeros, int32_t Quant) {
    if (Zeros.size() >= Quant) return Zeros;
    return QString(Quant - Zeros.size(), u'0') + Zeros;
}

QString RotuloVersao(int platformId, int major, int minor) {
    if (platformId == 1) {
        if (minor == 0) return QStringLiteral("95");
        if (minor == 10) return QStringLiteral("98");
        if (minor == 90) return QStringLiteral("ME");
    } else if (platformId == 2) {
        if (major == 3) return QStringLiteral("NT 3.51");
        if (major == 4) return QStringLiteral("NT 4.0");
        if (major == 5 && minor == 0) return QStringLiteral("2000");
        if (major == 5 && minor == 1) return QStringLiteral("XP");
        if (major == 6 && minor == 0) return QStringLiteral("VISTA");
        if (major == 6 && minor == 1) return QStringLiteral("7");
    }
    return QStringLiteral("Desconhecido");
}

QString VersaoWindows() {
    const platform::OsVersion v = platform::osVersion();
    return RotuloVersao(v.platformId, v.major, v.minor);
}

namespace {
QString nomeTrava(int16_t PDV_CODIGO, const QString& Sistema) {
    return QStringLiteral("ATIVO_") + Sistema + u'.' + StrZero(QString::number(PDV_CODIGO), 3);
}
} // namespace

bool TravarJanela(int16_t PDV_CODIGO, const QString& Sistema, platform::ExclusiveFile& Arq, QString Path) {
    if (!Empty(Path) && !Path.endsWith(u'\\') && !Path.endsWith(u'/')) Path += u'/';
    const QString name = Path + nomeTrava(PDV_CODIGO, Sistema);
    if (Arq.open(local(name), platform::ExclusiveFile::Mode::Replace) !=
        platform::ExclusiveFile::OpenResult::Ok)
        return false;
    const QString line = Sistema + u' ' + QString::number(PDV_CODIGO) + QStringLiteral(" ATIVADO EM ") +
                         regional::dateTimeStamp(QDateTime::currentDateTime());
    if (!Arq.write(ansiLine(line))) {
        Arq.close();
        return false;
    }
    return true;
}

void DestravarJanela(int16_t PDV_CODIGO, const QString& Sistema, platform::ExclusiveFile& Arq) {
    if (!Arq.isOpen()) return;
    // Removed while still held, so that an instance starting meanwhile finds it either held or
    // gone, never free; and only the file held here, never another instance's.
    const std::string name = local(nomeTrava(PDV_CODIGO, Sistema));
    if (Arq.holds(name)) platform::deleteFile(name);
    Arq.close();
}

QString NomeArquivoErro(int64_t codigo) {
    QString digits = StrZero(QString::number(codigo < 0 ? -codigo : codigo), 5);
    return (codigo < 0 ? QStringLiteral("-") : QString()) + digits + QStringLiteral(".error");
}

void CriarArquivoErro(const QString& Nome, const QString& TextoLog) {
    const QString path = PastaExecutavel() + QStringLiteral("ControleCatraca/") + Nome;
    if (platform::fileExists(local(path))) return;
    GravarLogTXT(QStringLiteral("Arquivo de erro criado Código do erro: ") + TextoLog);
    if (!platform::writeWholeFile(local(path),
                                  ansiLine(regional::shortDateLongTime(QDateTime::currentDateTime()))))
        throw EInOutError(QStringLiteral("Erro de entrada/saída ao criar ") + path);
}
