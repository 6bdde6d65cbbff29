#pragma once
// The data module: the one connection to the shop database with its three transactions, this
// terminal's number, the instance lock and the open-day range; the start-up gate that creates
// it; and the statement layer through which every query and statement of the program runs.
#include "database/Connection.h"
#include "database/DataSet.h"
#include "platform/textfile.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

// Raised by the start-up gate to end the process with exit code 0; whoever created the data
// module destroys what exists and exits.
struct ProcessEnd : std::exception {
    const char* what() const noexcept override { return "Encerramento do processo"; }
};

// The database name the connection opens (step 13 of the start-up gate).
QString NomeBancoDados(bool gb_MaquServ, const QString& ls_VersaoSO, const QString& ls_Servidor);

class TMD {
public:
    TMD();
    ~TMD();
    TMD(const TMD&) = delete;
    TMD& operator=(const TMD&) = delete;

    db::Connection ibdConexao;
    db::Transaction ibtPrincipal{ibdConexao};
    db::Transaction ibtAuxiliar{ibdConexao};
    db::Transaction ibtTravamento{ibdConexao};
    platform::ExclusiveFile ArqTravamento;
    int32_t iPDV_CODIGO = 0;
    QDateTime gd_MaiorDataAberta = db::zeroDateTime();
    QDateTime gd_MenorDataAberta = db::zeroDateTime();

    // The start-up gate. Raises ProcessEnd where the process ends, and any failure that ends
    // the creation steps.
    void DataModuleCreate(TMD* Sender);
    void DataModuleDestroy(TMD* Sender);

    bool VerificarCriarDir(QString Diretorio);
    void DeletaArquivos(const QString& vMasc);

    // Statement layer. Result codes: 1 success, 0 database error handled, 3 parameter refused.
    uint8_t Consultar(const QString& sSQL, std::unique_ptr<db::TDataSet>& Obj, uint8_t ComponenteTransacao);
    uint8_t ExecutarSQL(const QString& sSQL, uint8_t Transacao, uint8_t ComponenteTransacao);
    void CriarDataSet(const QString& sSQL, std::unique_ptr<db::TDataSet>& Obj, uint8_t ComponenteTransacao);
    void IniciarTransacao(uint8_t ComponenteTransacao);
    void ConfirmarTransacao(uint8_t ComponenteTransacao);
    void CancelarTransacao(uint8_t ComponenteTransacao);
    uint8_t TratarErro(int32_t ErrCodigo, const QString& ErrMensagem);
    // Ends a transaction once a piece of work is done with it, committing or rolling it back; a
    // database error of its own (the connection is gone) is handled like any other.
    void FinalizarTransacao(uint8_t ComponenteTransacao, bool confirmar);
    // Commits the principal transaction, which holds only reads, so that no transaction stays
    // open between reads and the server can collect the old versions of the rows.
    void ConfirmarLeitura() { FinalizarTransacao(1, true); }

    // Comanda access decision: True releases; pb_ExisteComanda tells refusal from an
    // unregistered card.
    bool VeriVendEmAbert(QString ps_Comanda, bool& pb_ExisteComanda);
    void ObterIntervaloCaixaAberto();
    bool VerificarTodosItensAbertos(const QString& ps_comanda, int32_t& pi_venControle, QDateTime& pd_CaiData,
                                    int32_t& pi_LojaCodigo);
    bool AlterarSituacaoVenda(const QString& ps_VenSituacao, int32_t pi_venControle,
                              const QDateTime& pd_CaiData, int32_t pi_LojaCodigo);

    // The check digit of a card code (the last pi_sub characters left out).
    int32_t RetornaDigitoVerificadorComanda(const QString& ps_comanda, int32_t pi_sub);

    // How long a lost connection is waited for before reopening it; tests shorten it.
    static inline int EsperaReconexaoMs = 30000;

    // When the database stopped answering (its connection found lost); invalid while it answers.
    const QDateTime& SemConexaoDesde() const { return semConexaoDesde_; }
    // Told of every change between answering and not answering.
    std::function<void()> AoMudarConexao;

private:
    bool ExisteComanda(const QString& ps_Comanda);
    bool VerificarStatus(const QString& ps_Comanda);
    // A query of the access decision on the principal transaction, its text logged when asked;
    // a failed one ends the decision.
    std::unique_ptr<db::TDataSet> ConsultarOuFalhar(const QString& sSQL, bool registrar = false);

    // The transaction a selector acts on: 1, 3 and 5 name their own, 2 and 4 none.
    db::Transaction* TransacaoDoSeletor(uint8_t ComponenteTransacao);
    // The transaction a statement runs under: 2 and 4 run under the default, the principal.
    db::Transaction& TransacaoDaInstrucao(uint8_t ComponenteTransacao);

    void RegistrarConexao(bool responde);

    QString gs_PathINI;
    QDateTime semConexaoDesde_;
};

extern TMD* MD;
