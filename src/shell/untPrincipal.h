#pragma once
// The main window: header, the received and sent panes, the event-log pane, the reconnect,
// card and "Sair" buttons, the tray icon and the 30-second reconnect timer.
#include "shell/TextPane.h"
#include "turnstile/TClienteGPRS.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

class TfrmPrincipal : public QWidget {
    Q_OBJECT
public:
    static constexpr int kReconnectIntervalMs = 30000;

    explicit TfrmPrincipal(QWidget* parent = nullptr);
    ~TfrmPrincipal() override;

    // Header
    QWidget* Panel1;
    QLabel* Image1;
    QWidget* RxLabel2;
    QLabel* Label1;
    QLabel* Label6;
    QWidget* Bevel1;
    // Received pane
    QWidget* Panel2;
    QLabel* lblRecebidosAscii;
    QPushButton* btnLimpar;
    TextPane* mmRecebidosAscii;
    // Sent pane
    QWidget* Panel3;
    QLabel* lblStringEnviada;
    QPushButton* btnLimparEnviados;
    TextPane* mmEnviadosString;
    // Event log
    QWidget* Panel4;
    TextPane* mmLog;
    QWidget* Bevel3;
    QPushButton* btnReconectarCatraca;
    QPushButton* btnConfigComandas;
    QWidget* Bevel2;
    QPushButton* SpeedButton1;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label10;
    // Not visible
    QSystemTrayIcon* TrayIcon1;
    QMenu* PopupMenu2;
    QAction* MenuItem1;
    QAction* Exit1;
    QTimer* tmrConectarCatracas;

    // The turnstile connections, in the order the turnstile query returned them. Never refilled
    // while a pass over it runs.
    std::vector<std::unique_ptr<TClienteGPRS>> Clients;
    int TotalClients() const { return static_cast<int>(Clients.size()); }

    // Start-up and shutdown.
    void FormCreate(QObject* Sender);
    void FormShow(QObject* Sender);
    void FormClose(QObject* Sender);

    // The connection cycle.
    void CarregarCatracas(int32_t pi_Codigo, int32_t pi_PosiArray);
    void ConectarCatracas();
    void ConfigurarCatracas();
    void ReconectarCatracas();
    void btnReconectarCatracaClick(QObject* Sender);
    void tmrConectarCatracasTimer(QObject* Sender);

    void btnConfigComandasClick(QObject* Sender);
    void ApplicationEvents1Minimize(QObject* Sender);
    void TrayIcon1DblClick(QObject* Sender);
    void MenuItem1Click(QObject* Sender);
    void btnLimparClick(QObject* Sender);
    void btnLimparEnviadosClick(QObject* Sender);

    // Shows a turnstile connection's line in the pane it names.
    void mostrarLinha(Painel painel, const QString& texto);
    // The tray icon's hint and picture after a turnstile or the database came up or went down.
    void atualizarBandeja();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildHeader();
    void buildPanes();
    void buildButtons();
    void wireHandlers();
    void centreOnDesktop();

    // Tells the tray of the data module's changes between answering and not.
    void acompanharBanco();

    bool shown_ = false;
    QIcon icone_;
    QIcon iconeAlerta_;
    bool alerta_ = false;
    // Set by the first pass over the turnstiles; the timer rebuilds only after it.
    bool primeiraPassagemFeita_ = false;

    class Passagem;
    // Passes over Clients on the stack, and a rebuild asked for during one.
    int passagens_ = 0;
    bool reconstrucaoPendente_ = false;
};

extern TfrmPrincipal* frmPrincipal;
