#include "shell/untPrincipal.h"

#include "base/untFuncoes.h"
#include "cards/untConfigComandas.h"
#include "database/untMD.h"
#include "platform/guard.h"
#include "shell/Application.h"
#include "shell/TerminationSignals.h"
#include "shell/TrayHint.h"
#include "shell/artwork.h"
#include "shell/layout.h"

#include <QCloseEvent>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

TfrmPrincipal* frmPrincipal = nullptr;

namespace {
const char* const kFooterStyle = "color: black;";
} // namespace

TfrmPrincipal::TfrmPrincipal(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("[Nutrava]  - Vortalis"));
    setWindowIcon(artwork::programIcon());
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    setFont(font);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    buildHeader();
    buildPanes();
    buildButtons();
    for (QWidget* area : {Panel1, Bevel1, Panel2, Panel3})
        column->addWidget(area);
    column->addWidget(Panel4, 1);
    for (QWidget* area : std::initializer_list<QWidget*>{Bevel3, btnReconectarCatraca, btnConfigComandas,
                                                         Bevel2, SpeedButton1, Label3, Label4, Label10})
        column->addWidget(area);

    icone_ = artwork::programIcon();
    iconeAlerta_ = artwork::programIconAlert();
    TrayIcon1 = new QSystemTrayIcon(icone_, this);
    PopupMenu2 = new QMenu(this);
    MenuItem1 = PopupMenu2->addAction(QStringLiteral("Abrir Vortalis"));
    Exit1 = PopupMenu2->addAction(QStringLiteral("Sair"));
    setContextMenuPolicy(Qt::CustomContextMenu);

    tmrConectarCatracas = new QTimer(this);
    tmrConectarCatracas->setInterval(kReconnectIntervalMs);
    tmrConectarCatracas->start();

    wireHandlers();
    resize(435, 558);
    acompanharBanco();
    atualizarBandeja();
}

TfrmPrincipal::~TfrmPrincipal() {
    if (MD != nullptr) MD->AoMudarConexao = nullptr;
}

void TfrmPrincipal::acompanharBanco() {
    if (MD != nullptr) MD->AoMudarConexao = [this] { atualizarBandeja(); };
}

void TfrmPrincipal::atualizarBandeja() {
    const int conectadas = static_cast<int>(std::count_if(
        Clients.begin(), Clients.end(), [](const auto& client) { return client->Socket()->Connected(); }));
    const QDateTime semConexao = MD != nullptr ? MD->SemConexaoDesde() : QDateTime();
    TrayIcon1->setToolTip(dicaBandeja(conectadas, TotalClients(), semConexao));
    const bool alerta = conectadas < TotalClients() || semConexao.isValid();
    if (alerta == alerta_) return;
    alerta_ = alerta;
    TrayIcon1->setIcon(alerta ? iconeAlerta_ : icone_);
}

void TfrmPrincipal::buildHeader() {
    Panel1 = layout::fixedHeight(new QWidget(this), 55);
    Image1 = new QLabel(Panel1);
    Image1->setScaledContents(true);
    Image1->setPixmap(artwork::banner(QSize(435, 55)));
    auto* lines = new QVBoxLayout(Panel1);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(0);
    RxLabel2 = layout::fixedHeight(new QWidget(Panel1), 6);
    Label1 = layout::label(QStringLiteral("Vortalis"), QStringLiteral("Verdana"), 19,
                           QStringLiteral("color: white;"), Panel1);
    Label1->setFixedHeight(23);
    Label6 = layout::label(QStringLiteral("Versão ") + QStringLiteral(VORTALIS_VERSION),
                           QStringLiteral("Verdana"), 11, QStringLiteral("color: white;"), Panel1);
    lines->addWidget(RxLabel2);
    lines->addWidget(Label1);
    lines->addWidget(Label6);
    lines->addStretch();
    layout::stretchBehind(Image1, Panel1);
    Bevel1 = layout::bevel(9, this);
}

void TfrmPrincipal::buildPanes() {
    mmRecebidosAscii = new TextPane(this);
    Panel2 = layout::paneArea(124, QStringLiteral("String recebida:"), QPoint(4, 4), QRect(84, 2, 57, 19),
                              mmRecebidosAscii, &lblRecebidosAscii, &btnLimpar, this);
    mmEnviadosString = new TextPane(this);
    Panel3 = layout::paneArea(128, QStringLiteral("String Enviada: "), QPoint(4, 6), QRect(84, 5, 57, 18),
                              mmEnviadosString, &lblStringEnviada, &btnLimparEnviados, this);
    Panel4 = new QWidget(this);
    auto* fill = new QVBoxLayout(Panel4);
    fill->setContentsMargins(0, 0, 0, 0);
    mmLog = new TextPane(Panel4);
    fill->addWidget(mmLog);
    Panel4->setMinimumHeight(54);
    Bevel3 = layout::bevel(8, this);
}

void TfrmPrincipal::buildButtons() {
    btnReconectarCatraca = layout::bigButton(QStringLiteral("&Reconectar Catracas"),
                                             artwork::buttonIcon(artwork::ButtonPicture::Reconnect), this);
    btnConfigComandas = layout::bigButton(QStringLiteral("&Configurar Comandas"),
                                          artwork::buttonIcon(artwork::ButtonPicture::Cards), this);
    Bevel2 = layout::bevel(9, this);
    SpeedButton1 =
        layout::bigButton(QStringLiteral("&Sair"), artwork::buttonIcon(artwork::ButtonPicture::Exit), this);
    Label3 =
        layout::label(QStringLiteral("Equipe Vortalis"), QStringLiteral("Verdana"), 11, kFooterStyle, this);
    Label4 =
        layout::label(QStringLiteral("vortalis.example"), QStringLiteral("Verdana"), 11, kFooterStyle, this);
    Label10 = layout::label(QStringLiteral("suporte.vortalis.example"), QStringLiteral("Verdana"), 11,
                            kFooterStyle, this);
    for (QLabel* footer : {Label3, Label4, Label10})
        footer->setFixedHeight(16);
}

void TfrmPrincipal::wireHandlers() {
    connect(btnLimpar, &QPushButton::clicked, this, [this] { guarded([&] { btnLimparClick(btnLimpar); }); });
    connect(btnLimparEnviados, &QPushButton::clicked, this,
            [this] { guarded([&] { btnLimparEnviadosClick(btnLimparEnviados); }); });
    connect(MenuItem1, &QAction::triggered, this, [this] { guarded([&] { MenuItem1Click(MenuItem1); }); });
    connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        // Trays that follow StatusNotifier send a single click (Trigger) and no double click.
        if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger)
            guarded([&] { TrayIcon1DblClick(TrayIcon1); });
    });
    for (QPushButton* button : {btnReconectarCatraca, SpeedButton1})
        connect(button, &QPushButton::clicked, this,
                [this, button] { guarded([&] { btnReconectarCatracaClick(button); }); });
    connect(btnConfigComandas, &QPushButton::clicked, this,
            [this] { guarded([&] { btnConfigComandasClick(btnConfigComandas); }); });
    connect(tmrConectarCatracas, &QTimer::timeout, this,
            [this] { guarded([&] { tmrConectarCatracasTimer(tmrConectarCatracas); }); });
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu2->popup(mapToGlobal(at)); });
}

void TfrmPrincipal::centreOnDesktop() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return;
    // The frame counts: it is known once the window is on the screen.
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

void TfrmPrincipal::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized))
        guarded([&] { ApplicationEvents1Minimize(this); });
}

namespace {
// A termination request that came during start-up (inside one of its boxes, or while the
// database was opened) closes the window now; true when the program is closing.
bool encerrarSePedido() {
    handlePendingTerminationSignal();
    return Application::encerrando();
}
} // namespace

void TfrmPrincipal::FormCreate(QObject*) {
    MD = new TMD();
    acompanharBanco();
    try {
        MD->DataModuleCreate(MD);
    } catch (const ProcessEnd&) {
        encerrarSePedido();
        throw;
    } catch (const std::exception& e) {
        // Start-up goes on without the steps after the failing one.
        dialogs::standardError(failureMessage(e));
    }
    // A program that has logged its close never goes on to show its window.
    if (encerrarSePedido()) throw ProcessEnd{};
    GravarLogOuAvisar(QStringLiteral(">>> Iniciou a Catraca"));
}

void TfrmPrincipal::FormShow(QObject*) {
    Panel2->setVisible(true);
    Panel3->setVisible(true);
    ConfigurarCatracas();
}

void TfrmPrincipal::FormClose(QObject*) {
    // The end is asked for first: nothing the log line raises or shows may keep the program
    // running (a box opened after it closes at once).
    Application::encerrar();
    GravarLogOuAvisar(QStringLiteral("<<< Finalizou a Catraca"));
}

void TfrmPrincipal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window is never hidden once shown, so the first showing is the only one.
    if (shown_) return;
    shown_ = true;
    centreOnDesktop();
    guarded([&] { FormShow(this); });
}

void TfrmPrincipal::closeEvent(QCloseEvent* event) {
    // Two termination requests read at once close the program once.
    if (!Application::encerrando()) guarded([&] { FormClose(this); });
    event->accept();
}

void TfrmPrincipal::btnConfigComandasClick(QObject*) {
    frmConfigComandas->exec();
}

void TfrmPrincipal::ApplicationEvents1Minimize(QObject*) {
    TrayIcon1->setVisible(true);
}

void TfrmPrincipal::TrayIcon1DblClick(QObject* Sender) {
    MenuItem1Click(Sender);
}

void TfrmPrincipal::MenuItem1Click(QObject*) {
    TrayIcon1->setVisible(false);
    setVisible(true);
    // The restore command: brings a minimised window back, leaves any other as it is.
    if (windowState() & Qt::WindowMinimized)
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
}

void TfrmPrincipal::btnLimparClick(QObject*) {
    mmRecebidosAscii->clearLines();
}

void TfrmPrincipal::btnLimparEnviadosClick(QObject*) {
    mmEnviadosString->clearLines();
}

void TfrmPrincipal::mostrarLinha(Painel painel, const QString& texto) {
    switch (painel) {
    case Painel::Recebidos:
        mmRecebidosAscii->append(texto);
        break;
    case Painel::Enviados:
        mmEnviadosString->append(texto);
        break;
    case Painel::Eventos:
        mmLog->append(texto);
        break;
    }
}
