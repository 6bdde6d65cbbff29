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

    // The item shown by the radio group: 0 "Sem Chip Configurado", 1 "Todas Comandas".
    int rdgChipItemIndex() const { return rdgChipTodas->isChecked() ? 1 : 0; }

    void FormShow(QObject* Sender);
    void SpeedButton1Click(QObject* Sender);
    void SpeedButton2Click(QObject* Sender);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // True when the card has no open sale in the open-day range.
    bool VerificarStatus(const QString& ps_comanda);
    bool ComandaCorreta(const QString& ps_comanda);
    void avancarProgresso();
    // Each write in a transaction of its own on the auxiliary transaction.
    void gravar(const QString& sql);
};

extern TfrmConfigComandas* frmConfigComandas;
