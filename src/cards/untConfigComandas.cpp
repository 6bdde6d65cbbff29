#include "cards/untConfigComandas.h"

#include "base/untFuncoes.h"
#include "cards/CardStatements.h"
#include "cards/CardWrite.h"
#include "cards/checkdigit.h"
#include "database/untMD.h"
#include "platform/convert.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "platform/termination.h"
#include "rules/AccessStatements.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QShowEvent>
#include <QVBoxLayout>

TfrmConfigComandas* frmConfigComandas = nullptr;

namespace {
// A query of the dialog failed; the statement layer has logged it. The run stops.
struct ConsultaFalhou : std::exception {
    const char* what() const noexcept override { return "Uma consulta ao banco de dados falhou"; }
};

std::unique_ptr<db::TDataSet> consultar(const QString& sSQL) {
    std::unique_ptr<db::TDataSet> q;
    if (MD->Consultar(sSQL, q, 1) != 1 || !q) throw ConsultaFalhou{};
    return q;
}

// How a run ends is told in a box; once the program is closing nobody is left to answer one, and
// it goes to the activity log.
void avisarFim(dialogs::Kind kind, const QString& texto) {
    if (platform::terminationRequested())
        GravarLogOuAvisar(texto);
    else if (kind == dialogs::Kind::Warning)
        dialogs::warning(texto);
    else
        dialogs::information(texto);
}

void avisarConsultaFalhou() {
    avisarFim(dialogs::Kind::Warning,
              QStringLiteral("Não foi possível consultar o banco de dados. Operação interrompida."));
}

// The digit count goes into the chip statements bare: only a whole number from 1 to 18.
bool qtdDigitosValida(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("^\\d{1,2}$"));
    return digits.match(text).hasMatch() && text.toInt() >= 1 && text.toInt() <= 18;
}

template <typename W> W* placed(W* widget, int left, int top, int width, int height) {
    widget->setGeometry(left, top, width, height);
    return widget;
}
} // namespace

TfrmConfigComandas::TfrmConfigComandas(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Configurar Comandas"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(351, 319);
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSize(8);
    setFont(font);

    Panel1 = new QWidget(this);
    auto* fill = new QVBoxLayout(this);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(Panel1);

    // Wide enough for the captions in the free fonts that stand in for Tahoma.
    rdgChip = placed(new QGroupBox(QStringLiteral("Atualizar Chip Comandas"), Panel1), 32, 16, 162, 65);
    rdgChipSemChip =
        placed(new QRadioButton(QStringLiteral("Sem Chip Configurado"), rdgChip), 6, 18, 152, 20);
    rdgChipTodas = placed(new QRadioButton(QStringLiteral("Todas Comandas"), rdgChip), 6, 40, 152, 20);
    rdgChipSemChip->setChecked(true);

    GroupBox1 = placed(new QGroupBox(QStringLiteral("Configurações"), Panel1), 200, 16, 81, 65);
    Label1 = placed(new QLabel(QStringLiteral("Digitos Chip"), GroupBox1), 3, 13, 75, 13);
    EdtQTDDigChip = placed(new QLineEdit(QStringLiteral("7"), GroupBox1), 3, 32, 56, 21);

    prbCartao = placed(new QProgressBar(Panel1), 85, 87, 150, 17);
    prbCartao->setRange(0, 100);
    prbCartao->setValue(0);
    prbCartao->setTextVisible(false);

    SpeedButton1 = placed(new QPushButton(QStringLiteral("Atualizar CHIP"), Panel1), 120, 110, 89, 33);
    SpeedButton1->setFlat(true);

    GroupBox2 = placed(new QGroupBox(QStringLiteral("Inserir"), Panel1), 32, 176, 249, 129);
    EdtCarIni = placed(new QLineEdit(GroupBox2), 16, 40, 73, 21);
    EdtCarFim = placed(new QLineEdit(GroupBox2), 130, 40, 73, 21);
    SpeedButton2 = placed(new QPushButton(QStringLiteral("Inserir Cartões"), GroupBox2), 72, 77, 89, 33);
    SpeedButton2->setFlat(true);
    btnCancelar = placed(new QPushButton(QStringLiteral("Cancelar"), Panel1), 215, 114, 66, 25);
    btnCancelar->setEnabled(false);
    // Enter in an edit box must never run a button's work.
    for (QPushButton* button : {SpeedButton1, SpeedButton2, btnCancelar}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(SpeedButton1, &QPushButton::clicked, this,
            [this] { guarded([&] { SpeedButton1Click(SpeedButton1); }); });
    connect(SpeedButton2, &QPushButton::clicked, this,
            [this] { guarded([&] { SpeedButton2Click(SpeedButton2); }); });
    connect(btnCancelar, &QPushButton::clicked, this, [this] { gb_Cancelar = true; });
}

// One run of a button: inputs off and "Cancelar" on until the run ends, however it ends, and
// then the transaction of its reads ended.
class TfrmConfigComandas::Trabalho {
public:
    explicit Trabalho(TfrmConfigComandas& form) : form_(form) { form_.ocupar(true); }
    ~Trabalho() {
        form_.ocupar(false);
        guarded([] { MD->ConfirmarLeitura(); });
    }
    Trabalho(const Trabalho&) = delete;
    Trabalho& operator=(const Trabalho&) = delete;

private:
    TfrmConfigComandas& form_;
};

void TfrmConfigComandas::ocupar(bool ocupado) {
    gb_Trabalhando = ocupado;
    gb_Cancelar = false;
    for (QWidget* entrada : std::initializer_list<QWidget*>{rdgChip, EdtQTDDigChip, SpeedButton1, EdtCarIni,
                                                            EdtCarFim, SpeedButton2})
        entrada->setEnabled(!ocupado);
    btnCancelar->setEnabled(ocupado);
}

void TfrmConfigComandas::reject() {
    if (gb_Trabalhando)
        gb_Cancelar = true;
    else
        QDialog::reject();
}

bool TfrmConfigComandas::pausa() {
    QCoreApplication::processEvents();
    // A termination request stops the run as "Cancelar" does.
    return gb_Cancelar || platform::terminationRequested();
}

void TfrmConfigComandas::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) guarded([&] { FormShow(this); });
}

void TfrmConfigComandas::FormShow(QObject*) {
    try {
        auto q = consultar(cartoes::sqlLerQtdDigitosChip());
        EdtQTDDigChip->setText(q->FieldByName(QStringLiteral("CFG_VALOR")).AsString());
    } catch (const ConsultaFalhou&) {
        avisarConsultaFalhou();
    }
    MD->ConfirmarLeitura();
}

void TfrmConfigComandas::iniciarProgresso(qint64 total) {
    // Never a range of 0..0, which draws as a busy bar.
    prbCartao->setRange(0, static_cast<int>(std::clamp<qint64>(total, 1, INT_MAX)));
    prbCartao->setValue(0);
}

void TfrmConfigComandas::avancarProgresso() {
    prbCartao->setValue(std::min(prbCartao->value() + 1, prbCartao->maximum()));
}

bool TfrmConfigComandas::VerificarStatus(const QString& ps_comanda) {
    auto q = consultar(regras::sqlContagemVendasAbertas(MD->gd_MenorDataAberta, MD->gd_MaiorDataAberta,
                                                        cartoes::sqlFiltroCodigoCartao(), ps_comanda));
    return q->FieldByName(QStringLiteral("QTDE")).AsInteger() == 0;
}

bool TfrmConfigComandas::ComandaCorreta(const QString& ps_comanda) {
    return CodigoComDigitoCorreto(ps_comanda);
}

void TfrmConfigComandas::SpeedButton1Click(QObject*) {
    const QString digitos = EdtQTDDigChip->text();
    if (!qtdDigitosValida(digitos)) {
        dialogs::warning(QStringLiteral("Quantidade de dígitos do chip inválida."));
        return;
    }
    Trabalho trabalho(*this);
    try {
        auto cartoes = consultar(cartoes::sqlListarCartoes(rdgChipItemIndex() == 1));
        const int total = cartoes->RecordCount();
        iniciarProgresso(total);
        int gravados = 0;
        for (cartoes->First(); !cartoes->Eof(); cartoes->Next()) {
            if (gravados > 0 && pausa()) {
                avisarFim(dialogs::Kind::Information,
                          QStringLiteral("Atualização cancelada: gravados %1 de %2 chips.")
                              .arg(gravados)
                              .arg(total));
                return;
            }
            const QString codigo = cartoes->FieldByName(QStringLiteral("car_codigo")).AsString();
            if (const auto falha = cartoes::gravar(cartoes::sqlAtualizarChip(digitos, codigo))) {
                avisarFim(dialogs::Kind::Warning,
                          QStringLiteral(
                              "Atualização interrompida: gravados %1 de %2 chips; parou no cartão %3: %4.")
                              .arg(gravados)
                              .arg(total)
                              .arg(codigo, *falha));
                return;
            }
            ++gravados;
            avancarProgresso();
        }

        auto chips = consultar(cartoes::sqlChipsDuplicados());
        iniciarProgresso(chips->RecordCount());
        int desativados = 0;
        for (chips->First(); !chips->Eof(); chips->Next()) {
            if (pausa()) {
                avisarFim(dialogs::Kind::Information,
                          QStringLiteral("Atualização cancelada: chips gravados; %1 cartões "
                                         "duplicados desativados.")
                              .arg(desativados));
                return;
            }
            auto grupo = consultar(
                cartoes::sqlCartoesDoChip(chips->FieldByName(QStringLiteral("CAR_CHIP")).AsString()));
            for (grupo->First(); !grupo->Eof(); grupo->Next()) {
                const QString codigo = grupo->FieldByName(QStringLiteral("car_codigo")).AsString();
                if (!VerificarStatus(codigo) || ComandaCorreta(codigo)) continue;
                if (const auto falha = cartoes::gravar(cartoes::sqlDesativarCartao(codigo))) {
                    avisarFim(dialogs::Kind::Warning,
                              QStringLiteral("Atualização interrompida: chips gravados; %1 cartões "
                                             "duplicados desativados; parou no cartão %2: %3.")
                                  .arg(desativados)
                                  .arg(codigo, *falha));
                    return;
                }
                ++desativados;
            }
            avancarProgresso();
        }

        if (const auto falha = cartoes::gravar(cartoes::sqlGravarQtdDigitosChip(digitos))) {
            avisarFim(dialogs::Kind::Warning,
                      QStringLiteral("Atualização interrompida: chips gravados e duplicados desativados; "
                                     "a quantidade de dígitos do chip não foi gravada: %1.")
                          .arg(*falha));
            return;
        }
    } catch (const ConsultaFalhou&) {
        avisarConsultaFalhou();
        return;
    }
    prbCartao->setValue(0);
    avisarFim(dialogs::Kind::Information, QStringLiteral("COMANDAS ATUALIZADAS"));
}

void TfrmConfigComandas::SpeedButton2Click(QObject*) {
    const int32_t primeiro = StrToIntDec(EdtCarIni->text());
    const int32_t ultimo = StrToIntDec(EdtCarFim->text());
    const qint64 total = ultimo >= primeiro ? qint64{ultimo} - primeiro + 1 : 0;
    if (total > kCartoesSemConfirmar &&
        !dialogs::question(
            QStringLiteral("Inserir %1 cartões, do número %2 ao %3?").arg(total).arg(primeiro).arg(ultimo)))
        return;
    Trabalho trabalho(*this);
    iniciarProgresso(total);
    qint64 gravados = 0;
    for (qint64 k = primeiro; k <= ultimo; ++k) {
        if (gravados > 0 && pausa()) {
            avisarFim(dialogs::Kind::Information,
                      QStringLiteral("Inserção cancelada: gravados %1 de %2 cartões, do número %3 ao %4.")
                          .arg(gravados)
                          .arg(total)
                          .arg(primeiro)
                          .arg(k - 1));
            return;
        }
        const int32_t digito = MD->RetornaDigitoVerificadorComanda(QString::number(k), 0);
        if (const auto falha = cartoes::gravar(cartoes::sqlInserirCartao(k, digito))) {
            avisarFim(
                dialogs::Kind::Warning,
                QStringLiteral("Inserção interrompida: gravados %1 de %2 cartões; parou no cartão %3: %4.")
                    .arg(gravados)
                    .arg(total)
                    .arg(QString::number(k) + QString::number(digito), *falha));
            return;
        }
        ++gravados;
        avancarProgresso();
    }
    avisarFim(dialogs::Kind::Information, QStringLiteral("Cartões inseridos!"));
}
