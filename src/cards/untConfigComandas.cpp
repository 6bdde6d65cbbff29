#include "cards/untConfigComandas.h"

#include "cards/CardStatements.h"
#include "cards/checkdigit.h"
#include "database/untMD.h"
#include "platform/convert.h"
#include "platform/dialogs.h"
#include "platform/guard.h"
#include "rules/AccessStatements.h"

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

void avisarConsultaFalhou() {
    dialogs::warning(QStringLiteral("Não foi possível consultar o banco de dados. Operação interrompida."));
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

    rdgChip = placed(new QGroupBox(QStringLiteral("Atualizar Chip Comandas"), Panel1), 32, 16, 145, 65);
    rdgChipSemChip =
        placed(new QRadioButton(QStringLiteral("Sem Chip Configurado"), rdgChip), 8, 18, 135, 20);
    rdgChipTodas = placed(new QRadioButton(QStringLiteral("Todas Comandas"), rdgChip), 8, 40, 135, 20);
    rdgChipSemChip->setChecked(true);

    GroupBox1 = placed(new QGroupBox(QStringLiteral("Configurações"), Panel1), 192, 16, 89, 65);
    Label1 = placed(new QLabel(QStringLiteral("Digitos Chip"), GroupBox1), 3, 13, 56, 13);
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

    connect(SpeedButton1, &QPushButton::clicked, this,
            [this] { guarded([&] { SpeedButton1Click(SpeedButton1); }); });
    connect(SpeedButton2, &QPushButton::clicked, this,
            [this] { guarded([&] { SpeedButton2Click(SpeedButton2); }); });
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
}

void TfrmConfigComandas::avancarProgresso() {
    prbCartao->setValue(std::min(prbCartao->value() + 1, prbCartao->maximum()));
    prbCartao->repaint();
}

void TfrmConfigComandas::gravar(const QString& sql) {
    MD->IniciarTransacao(3);
    MD->ExecutarSQL(sql, 3, 3);
    MD->ConfirmarTransacao(3);
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
    try {
        auto cartoes = consultar(cartoes::sqlListarCartoes(rdgChipItemIndex() == 1));
        prbCartao->setMaximum(cartoes->RecordCount());
        for (cartoes->First(); !cartoes->Eof(); cartoes->Next()) {
            avancarProgresso();
            gravar(cartoes::sqlAtualizarChip(digitos,
                                             cartoes->FieldByName(QStringLiteral("car_codigo")).AsString()));
        }

        auto chips = consultar(cartoes::sqlChipsDuplicados());
        prbCartao->setMaximum(chips->RecordCount());
        prbCartao->setValue(0);
        for (chips->First(); !chips->Eof(); chips->Next()) {
            avancarProgresso();
            auto grupo = consultar(
                cartoes::sqlCartoesDoChip(chips->FieldByName(QStringLiteral("CAR_CHIP")).AsString()));
            for (grupo->First(); !grupo->Eof(); grupo->Next()) {
                const QString codigo = grupo->FieldByName(QStringLiteral("car_codigo")).AsString();
                if (VerificarStatus(codigo) && !ComandaCorreta(codigo))
                    gravar(cartoes::sqlDesativarCartao(codigo));
            }
        }

        gravar(cartoes::sqlGravarQtdDigitosChip(digitos));
    } catch (const ConsultaFalhou&) {
        avisarConsultaFalhou();
        return;
    }
    prbCartao->setValue(0);
    dialogs::information(QStringLiteral("COMANDAS ATUALIZADAS"));
}

void TfrmConfigComandas::SpeedButton2Click(QObject*) {
    const int32_t primeiro = StrToInt(EdtCarIni->text());
    const int32_t ultimo = StrToInt(EdtCarFim->text());
    for (long long k = primeiro; k <= ultimo; ++k) {
        avancarProgresso();
        const int32_t digito = MD->RetornaDigitoVerificadorComanda(QString::number(k), 0);
        gravar(cartoes::sqlInserirCartao(k, digito));
    }
    dialogs::information(QStringLiteral("Cartões inseridos!"));
}
