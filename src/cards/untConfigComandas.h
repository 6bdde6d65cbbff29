#pragma once
// The card maintenance dialog: fills chip codes from card codes, deactivates surplus active
// cards that share a chip, and inserts ranges of new cards whose codes end in a check digit.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

class TfrmConfigComandas : public QDialog {
    Q_OBJECT
public:
    explicit TfrmConfigComandas(QWidget* parent = nullptr);

    QWidget* Panel1;
    QGroupBox* rdgChip;
    QRadioButton* rdgChipSemChip;
    QRadioButton* rdgChipTodas;
    QGroupBox* GroupBox1;
    QLabel* Label1;
    QLineEdit* EdtQTDDigChip;
    QProgressBar* prbCartao;
    QPushButton* SpeedButton1;
    QGroupBox* GroupBox2;
    QLineEdit* EdtCarIni;
    QLineEdit* EdtCarFim;
    QPushButton* SpeedButton2;
    // Stops a run after the card it is writing; enabled only while a run goes on.
    QPushButton* btnCancelar;

    // The item shown by the radio group: 0 "Sem Chip Configurado", 1 "Todas Comandas".
    int rdgChipItemIndex() const { return rdgChipTodas->isChecked() ? 1 : 0; }

    void FormShow(QObject* Sender);
    void SpeedButton1Click(QObject* Sender);
    void SpeedButton2Click(QObject* Sender);

    // More cards than this in one range are inserted only after the operator confirms.
    static constexpr qint64 kCartoesSemConfirmar = 100000;

protected:
    void showEvent(QShowEvent* event) override;
    // The close box and Escape: while a run goes on they cancel it instead of closing.
    void reject() override;

private:
    class Trabalho;

    // True when the card has no open sale in the open-day range.
    bool VerificarStatus(const QString& ps_comanda);
    bool ComandaCorreta(const QString& ps_comanda);
    void iniciarProgresso(qint64 total);
    void avancarProgresso();
    // Lets the message loop run (turnstile reads are answered) between two cards, where no
    // transaction of the dialog is open. True when the operator asked to cancel.
    bool pausa();
    void ocupar(bool ocupado);

    bool gb_Trabalhando = false;
    bool gb_Cancelar = false;
};

extern TfrmConfigComandas* frmConfigComandas;
