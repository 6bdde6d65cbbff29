#include "database/untMD.h"

#include "base/untFuncoes.h"
#include "database/FirebirdError.h"
#include "platform/convert.h"
#include "platform/dialogs.h"
#include "platform/failure.h"
#include "platform/guard.h"
#include "platform/os.h"
#include "platform/termination.h"

#include <algorithm>

TMD* MD = nullptr;

namespace {
// Set while the data module is created and used only there.
bool gb_MaquServ = false;

// A termination request that came during one of start-up's boxes ends the start-up there: a
// program that is closing takes no lock and opens no database.
void pararSeEncerrando() {
    if (platform::terminationRequested()) throw ProcessEnd{};
}

const QString kSistema = QStringLiteral("VORTALIS");

QString pastaControle() {
    return PastaExecutavel() + QStringLiteral("ControleCatraca");
}
} // namespace

QString NomeBancoDados(bool gb_MaquServ, const QString& ls_VersaoSO, const QString& ls_Servidor) {
    QString ls_PathDB;
    if (gb_MaquServ && (ls_VersaoSO == QStringLiteral("95") || ls_VersaoSO == QStringLiteral("98")))
        ls_PathDB = QStringLiteral("C:\\NutravaWin\\Dados\\");
    else
        ls_PathDB = ls_Servidor + QStringLiteral(":\\NutravaWin\\Dados\\");
    return ls_PathDB + QStringLiteral("Nutrava.fdb");
}

TMD::TMD() = default;

TMD::~TMD() {
    guarded([&] { DataModuleDestroy(this); });
}

void TMD::DataModuleCreate(TMD*) {
    GravarLogOuAvisar(QStringLiteral("Sistema Iniciado."));
    VerificarCriarDir(pastaControle());
    DeletaArquivos(pastaControle() + QStringLiteral("/*.error*"));
    iPDV_CODIGO = 0;

    const QString pdvIni =
        QString::fromStdString(platform::driveC()) + QStringLiteral("NutravaWin/PDVNutrava/PDVNutrava.INI");
    if (!platform::fileExists(pdvIni.toStdString())) {
        dialogs::warning(
            QStringLiteral("Arquivo C:\\NutravaWin\\PDVNutrava\\PDVNutrava.INI não encontrado. Verifique"));
        throw ProcessEnd{};
    }
    iPDV_CODIGO = StrToInt(
        LeIniStr(pdvIni, QStringLiteral("Configuracoes"), QStringLiteral("NumPDV"), QStringLiteral("0")));
    if (iPDV_CODIGO <= 0) {
        dialogs::warning(
            QStringLiteral("O número de PDV deste terminal não está configurado. Por favor, entre \\n no "
                           "sistema GESTAL para configurá-lo."));
        throw ProcessEnd{};
    }
    pararSeEncerrando();
    if (!TravarJanela(static_cast<int16_t>(iPDV_CODIGO), kSistema, ArqTravamento, QString()))
        throw ProcessEnd{};

    if (ibdConexao.Connected()) ibdConexao.Close();
    // A server machine runs the program from drive C:. Where there are no drives, the
    // executable's drive is drive C:.
    const QString drive = QString::fromStdString(platform::executableDrive());
    gb_MaquServ = drive.compare(QString::fromStdString(platform::driveC()), Qt::CaseInsensitive) == 0;
    gs_PathINI = drive + QStringLiteral("NutravaWin/");
    const QString ls_Servidor =
        LeIniStr(gs_PathINI + QStringLiteral("Nutrava.Ini"), QStringLiteral("Configuracoes"),
                 QStringLiteral("Servidor"), QString());
    const QString ls_VersaoSO = VersaoWindows();

    pararSeEncerrando();
    ibdConexao.DatabaseName = NomeBancoDados(gb_MaquServ, ls_VersaoSO, ls_Servidor);
    ibdConexao.Params.clear();
    ibdConexao.Params << QStringLiteral("user_name=SYSDBA") << QStringLiteral("password=kestrelio");
    try {
        ibdConexao.Open();
    } catch (const db::FirebirdError&) {
        RegistrarConexao(false);
        throw;
    }
}

void TMD::DataModuleDestroy(TMD*) {
    DestravarJanela(static_cast<int16_t>(iPDV_CODIGO), kSistema, ArqTravamento);
    GravarLogOuAvisar(QStringLiteral("Sistema Encerrado."));
}

bool TMD::VerificarCriarDir(QString Diretorio) {
    if (Diretorio.endsWith(u'\\') || Diretorio.endsWith(u'/')) Diretorio.chop(1);
    if (platform::dirExists(Diretorio.toStdString())) return true;
    if (platform::createDir(Diretorio.toStdString())) return true;
    throw Failure(QStringLiteral("Não foi possível criar o seguinte diretório: ") + QChar(13) + Diretorio);
}

void TMD::DeletaArquivos(const QString& vMasc) {
    const qsizetype cut = std::max(vMasc.lastIndexOf(u'/'), vMasc.lastIndexOf(u'\\')) + 1;
    const QString folder = vMasc.left(cut);
    for (const platform::DirEntry& entry :
         platform::listDir(folder.toStdString(), vMasc.mid(cut).toStdString())) {
        if (entry.isDir || entry.isHidden) continue;
        platform::deleteFile(folder.toStdString() + entry.name);
    }
}
